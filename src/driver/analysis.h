#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "report/window_outcome.h"

namespace triotdt::driver {

struct RunOptions {
    // Threads for the replicates of a window; 0 means one per core. The
    // reports are the same for any number.
    unsigned threads = 0;
};

using report::WindowOutcome;

using WindowObserver = std::function<void(const WindowOutcome&)>;

// Called on the thread of the run just before and just after each write to
// standard output, so that a line drawn on the same terminal can step aside.
// `after` is told whether the last line written is still open (no line end).
struct ConsoleTurn {
    std::function<void()> before;
    std::function<void(bool lineOpen)> after;
};

// The number of windows of an input of `lociCount` loci: every run of 1 to 7
// consecutive loci.
std::int64_t countWindows(std::int32_t lociCount);

// Runs the whole analysis in the working folder: opens tdtinput.dat and the
// two new reports, reads the families, analyses every window of 1 to 7
// consecutive loci and writes the reports and the console lines. Throws
// report::RunError for file and input errors and report::InputRefused for
// input the analysis cannot use. `observer`, when given, sees every window in
// report order, after the console lines of that window have been written.
void runAnalysis(const RunOptions& options = {}, const WindowObserver& observer = {}, const ConsoleTurn& turn = {});

// The program: runs the analysis and turns failures into a message on
// standard error and exit status 1. Returns the exit status.
int runProgram(int argc, char** argv);

}  // namespace triotdt::driver
