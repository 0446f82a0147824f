#pragma once

#include <atomic>
#include <csignal>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "io/output_unit.h"

namespace triotdt::driver {

// SIGINT and SIGTERM (Ctrl-C, a batch system's time limit). The handler only
// records the signal in one lock-free atomic; whoever works looks at the
// record between pieces of work and stops.
//
// Who does what
//   - The program defers both signals first thing (deferInterruptions()): one
//     that arrives while the command line is read waits, blocked, until the
//     program knows the command and how it takes them.
//   - For an analysis, a shard, a merge or an import the program then calls
//     catchInterruptions(), which sets the handler and lets the signals
//     through, so that one that waited is recorded at once.
//   - The window loop and the replicate loop poll `interruptionFlag()` and
//     end early; the writing of windows, and the merge between the parts of
//     its shards, throw RunInterrupted, and the run ends with the reports
//     marked incomplete and status 128 + the signal. A second signal of the
//     same kind ends the program at once, as if no handler were set.
//   - The import, whose files are whole or absent, calls stopIfInterrupted()
//     between records and between the families it writes, which throws
//     Interrupted; the writer removes what it created and lets the exception
//     pass, and the import ends with status 128 + the signal. A second
//     signal changes nothing (SecondSignal::changesNothing): the import
//     stops soon anyway, and its files must always be removed.
//   - For every other command (the shard plan, --help) the program calls
//     releaseInterruptions(): the signals are blocked again only if they
//     were when the program started, so one that waited ends the program as
//     it would have when it arrived.
enum class SecondSignal { endsProgram, changesNothing };
void deferInterruptions();
void catchInterruptions(SecondSignal second = SecondSignal::endsProgram);
void releaseInterruptions();

// The signal that asked the run to stop; 0 while none has. The replicate
// loop polls it through `interruptionFlag()`.
int interruptingSignal();
const std::atomic<int>& interruptionFlag();

// How far a run had come when a signal stopped it.
struct RunInterrupted {
    int signal = 0;
    std::int64_t windowsDone = 0;
    std::int64_t windowCount = 0;
    std::int32_t lastStart = 0;  // the last window finished; 0 before the first
    std::int32_t lastSize = 0;
    bool shard = false;  // a shard's run, which writes parts, not reports
};

// Throws `progress`, with the signal, once a caught signal has asked the run
// to stop.
void stopIfInterrupted(RunInterrupted progress);

// Ends each report of a stopped run with interruptedReportLine(), so that it
// cannot pass for a complete one. A report that cannot take the line is left
// as it is: the message on standard error still says that the run stopped.
void markInterrupted(std::initializer_list<io::OutputUnit*> reports, const RunInterrupted& stopped);

// A caught signal stopped work that leaves nothing behind (the import's).
struct Interrupted {
    int signal = 0;
};

// Throws Interrupted once a caught signal has asked the work to stop.
void stopIfInterrupted();

// "interrupted by SIGTERM", for the message of the command it stopped.
std::string describeInterruption(const Interrupted& stopped);

// "triotdt: interrupted by SIGTERM after window 3-5 (412 of 1,022 windows);
// the reports are incomplete", with a line end; for a shard, that it has no
// manifest and must run again.
std::string describeInterruption(const RunInterrupted& stopped);

// The line that ends a report of an interrupted run, without line end:
// "*INTERRUPTED* by SIGTERM after window 3-5 (412 of 1,022 windows): this
// report is incomplete".
std::string interruptedReportLine(const RunInterrupted& stopped);

// The exit status of a run stopped by `signal`: 128 + its number, as shells
// report a program the signal ended.
int interruptedExitStatus(int signal);

}  // namespace triotdt::driver
