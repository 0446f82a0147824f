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
    // The console lines go to standard error, leaving standard output to the table.
    bool consoleOnStandardError = false;
};

using report::WindowOutcome;

using WindowObserver = std::function<void(const WindowOutcome&)>;

// The number of windows of an input of `lociCount` loci: every run of 1 to 7
// consecutive loci.
std::int64_t countWindows(std::int32_t lociCount);

// Runs the whole analysis in the working folder: opens tdtinput.dat and the
// two new reports, reads the families, analyses every window of 1 to 7
// consecutive loci and writes the reports and the console lines. Throws
// report::RunError for file and input errors and report::InputRefused for
// input the analysis cannot use. `observer`, when given, sees every window in
// report order; `completeOutputs`, when given, runs after the last window and
// the reports are complete, before the stop line.
//
// A SIGINT or SIGTERM caught by catchInterruptions() stops the run between
// replicates: both reports keep the windows finished and end with a line that
// says the run was interrupted, the console gets no stop line, and
// RunInterrupted is thrown.
void runAnalysis(const RunOptions& options = {}, const WindowObserver& observer = {},
                 const std::function<void()>& completeOutputs = {});

// The program: runs the analysis and turns failures into a message on
// standard error and exit status 1 (2 for a usage error, 128 + the signal
// number for an interrupted run). Returns the exit status.
int runProgram(int argc, char** argv);

}  // namespace triotdt::driver
