#pragma once

#include <cstdint>

#include "statistics/five_statistics.h"

namespace triotdt::report {

// What one window gave, for outputs beyond the two reports.
struct WindowOutcome {
    std::int32_t start = 1;  // first locus, 1-based
    std::int32_t size = 1;
    std::int64_t haplotypeCount = 0;
    bool skipped = false;  // too many haplotypes to number with 32-bit codes
    std::int32_t families = 0;  // taking part: genotyped at every locus of the window
    std::int32_t familiesOfKnownPhase = 0;
    std::int32_t distinctHaplotypes = 0;  // codes that occur in the families' phase combinations
    std::int32_t replicateCount = 0;
    statistics::FiveStatistics statistics{};
    statistics::FiveStatistics pValues{};
};

}  // namespace triotdt::report
