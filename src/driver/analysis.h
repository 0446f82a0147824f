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

// The number of windows of an input of `lociCount` loci: every run of 1 to 7
// consecutive loci.
std::int64_t countWindows(std::int32_t lociCount);

// Runs the whole analysis in the working folder: opens tdtinput.dat and the
// two new reports, reads the families, analyses every window of 1 to 7
// consecutive loci and writes the reports and the console lines. Throws
// io::RunError for file and input errors and io::InputRefused for
// input the analysis cannot use. `observer`, when given, sees every window in
// report order.
void runAnalysis(const RunOptions& options = {}, const WindowObserver& observer = {});


}  // namespace triotdt::driver
