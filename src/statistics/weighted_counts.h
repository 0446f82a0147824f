#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "frequency/frequency_sets.h"
#include "haplotype/indexed_phases.h"

namespace triotdt::statistics {

// The four weighted statistics, in the order Pg, Pe, Pc, Pem: each weighs the
// phase combinations of a family by the product of their four haplotype
// frequencies under haplotypeFreq, equalFreq, phaseShareFreq and emFreq.
constexpr std::size_t weightedSetCount = 4;
using FourValues = std::array<double, weightedSetCount>;

// Each combination's share of its family's weight under each frequency set,
// for the observed and for the exchanged version of every family: the
// product of its four frequencies divided by the family's total over its
// combinations. A family whose total is not positive counts for nothing under
// that set: its shares are 0, and adding 0 leaves every count as it was.
struct PhaseShares {
    std::vector<FourValues> observed;   // by combination
    std::vector<FourValues> exchanged;  // by combination
};

PhaseShares computePhaseShares(const haplotype::IndexedPhases& phases, const frequency::FrequencySets& sets);

// The weighted counts of all four sets, by haplotype index. Each table entry
// receives its additions family by family and combination by combination, as
// one set at a time would give them, so the sums are the same to the last bit.
struct WeightedCounts {
    std::vector<FourValues> transmitCount;
    std::vector<FourValues> untransmitCount;
    std::vector<FourValues> homoCount;

    void resize(std::size_t indexCount);
    void clear();
};

// Fills `counts` from every family, taking its exchanged version where
// `exchanged[f]` is non-zero and its observed one elsewhere.
void weightedTransmissionCounts(const haplotype::IndexedPhases& phases, const PhaseShares& shares,
                                std::span<const std::uint8_t> exchanged, WeightedCounts& counts);

// The same for up to `maxDataSets` data sets at once (counts[j] from
// exchanged[j]). Each set's tables receive exactly the additions, in exactly
// the order, that a call of its own would make; interleaving the sets only
// lets the processor work on several independent sums at a time.
constexpr std::size_t maxDataSets = 4;
void weightedTransmissionCounts(const haplotype::IndexedPhases& phases, const PhaseShares& shares,
                                std::span<const std::span<const std::uint8_t>> exchanged,
                                std::span<WeightedCounts* const> counts);

// The statistic of each set's counts.
FourValues weightedStatistics(const WeightedCounts& counts);

}  // namespace triotdt::statistics
