#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "frequency/transmission_counts.h"
#include "statistics/five_statistics.h"

namespace triotdt::window {

// What one window gave, and all that is kept of it: its lines in the
// reports, its row of the table and its marks in the figure are made of
// this. It flows from the window loop to the reports and the outputs, into
// a shard's table part and from there back into a merge. Only the block of
// tdttran.txt needs the per-haplotype tables; a result kept for the figure
// or read back from the table has them empty.
struct WindowResult {
    std::int32_t start = 1;  // first locus, 1-based, as in the input
    std::int32_t size = 1;
    std::int64_t haplotypeCount = 0;  // the product of the allele counts, saturated at INT64_MAX
    bool skipped = false;             // too many haplotypes to number with 32-bit codes
    bool emConverged = true;
    std::int32_t families = 0;  // taking part: genotyped at every locus of the window
    std::int32_t familiesOfKnownPhase = 0;
    std::int32_t distinctHaplotypes = 0;  // codes that occur in the families' phase combinations
    std::int32_t replicateCount = 0;
    statistics::FiveStatistics statistics{};
    statistics::FiveStatistics pValues{};
    // With family-wise p-values: per statistic, the haplotypes that enter
    // the observed sum (the k of the reference scale), the depth of the
    // observed statistic's reference tail (−log10 of it), and, once the
    // whole run's minima are known, the family-wise p-value.
    std::array<std::int32_t, statistics::statisticCount> tailHaplotypes{};
    statistics::FiveStatistics observedDepths{};
    std::optional<statistics::FiveStatistics> familyWisePValues;

    std::vector<std::int32_t> codes;    // of the haplotypes that occur, ascending
    frequency::CountTables counts;      // by index of `codes`
    std::vector<double> haplotypeFreq;  // by index of `codes`

    std::int32_t lastLocus() const { return start + size - 1; }
};

// The result without its per-haplotype tables: small enough to keep for
// every window of a run.
inline WindowResult withoutTables(const WindowResult& result) {
    WindowResult kept;
    kept.start = result.start;
    kept.size = result.size;
    kept.haplotypeCount = result.haplotypeCount;
    kept.skipped = result.skipped;
    kept.emConverged = result.emConverged;
    kept.families = result.families;
    kept.familiesOfKnownPhase = result.familiesOfKnownPhase;
    kept.distinctHaplotypes = result.distinctHaplotypes;
    kept.replicateCount = result.replicateCount;
    kept.statistics = result.statistics;
    kept.pValues = result.pValues;
    kept.tailHaplotypes = result.tailHaplotypes;
    kept.observedDepths = result.observedDepths;
    kept.familyWisePValues = result.familyWisePValues;
    return kept;
}

}  // namespace triotdt::window
