#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace triotdt::driver {

// SIGINT and SIGTERM (Ctrl-C, a batch system's time limit) end a run early:
// the handler only records the signal, and the window and replicate loops
// look at the record and stop. A second signal of the same kind ends the
// program at once, as if no handler were set.
void catchInterruptions();

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
};

// "triotdt: interrupted by SIGTERM after window 3-5 (412 of 1,022 windows);
// the reports are incomplete", with a line end.
std::string describeInterruption(const RunInterrupted& stopped);

// The line that ends a report of an interrupted run, without line end:
// "*INTERRUPTED* by SIGTERM after window 3-5 (412 of 1,022 windows): this
// report is incomplete".
std::string interruptedReportLine(const RunInterrupted& stopped);

// The exit status of a run stopped by `signal`: 128 + its number, as shells
// report a program the signal ended.
int interruptedExitStatus(int signal);

}  // namespace triotdt::driver
