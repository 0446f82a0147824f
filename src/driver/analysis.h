#pragma once

#include <array>
#include <cstdint>
#include <functional>

namespace triotdt::driver {

struct RunOptions {
    // Threads for the replicates of a window; 0 means one per core. The
    // reports are the same for any number.
    unsigned threads = 0;
};

// What one window gave, for outputs beyond the two reports.
struct WindowOutcome {
    std::int32_t start = 1;  // first locus, 1-based
    std::int32_t size = 1;
    std::int64_t haplotypeCount = 0;
    bool skipped = false;  // too many haplotypes to number with 32-bit codes
    std::int32_t familiesOfKnownPhase = 0;
    std::int32_t distinctHaplotypes = 0;  // codes that occur in the families' phase combinations
    std::int32_t replicateCount = 0;
    std::array<double, 5> statistics{};  // Punamb, Pg, Pe, Pc, Pem
    std::array<double, 5> pValues{};
};

using WindowObserver = std::function<void(const WindowOutcome&)>;

// The number of windows of an input of `lociCount` loci: every run of 1 to 7
// consecutive loci.
std::int64_t countWindows(std::int32_t lociCount);

// Runs the whole analysis in the working folder: opens tdtinput.dat and the
// two new reports, reads the families, analyses every window of 1 to 7
// consecutive loci and writes the reports and the console lines. Throws
// report::RunError for file and input errors and report::InputRefused for
// input the analysis cannot use. `observer`, when given, sees every window in
// report order.
void runAnalysis(const RunOptions& options = {}, const WindowObserver& observer = {});

// The program: runs the analysis and turns failures into a message on
// standard error and exit status 1. Returns the exit status.
int runProgram(int argc, char** argv);

}  // namespace triotdt::driver
