#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "frequency/frequency_sets.h"
#include "haplotype/indexed_phases.h"
#include "statistics/five_statistics.h"
#include "statistics/lane_statistics.h"
#include "statistics/weighted_counts.h"

namespace triotdt::statistics {

// Everything the statistics of a window's data sets (the observed data and
// every replicate) share, worked out once per window.
struct WindowModel {
    const haplotype::IndexedPhases* phases = nullptr;
    PhaseShares shares;
    HomozygoteCounts homozygotes;
    LaneModel laneModel;  // refers to `shares` and `homozygotes`

    // Punamb. Exchanging a family of known phase trades its parents'
    // transmitted and untransmitted haplotypes, so per haplotype the number of
    // parents carrying it once stays the same and only transmitted minus
    // untransmitted changes, by a whole number.
    std::vector<std::int32_t> carriedOnce;         // per haplotype
    std::vector<std::int32_t> observedDifference;  // transmitted − untransmitted, all observed
    struct Difference {
        std::int32_t haplotype = 0;
        std::int32_t change = 0;  // what exchanging the family adds to the difference
    };
    // The family whose exchange bit decides each entry of `firstDifference`:
    // its place in the input, where its exchange bits are.
    std::vector<std::int32_t> knownPhaseFamilies;
    std::vector<std::size_t> firstDifference;  // per known family, and one past the last
    std::vector<Difference> differences;
};

// `phases` must outlive the model.
WindowModel buildWindowModel(const haplotype::IndexedPhases& phases, const frequency::FrequencySets& sets);

// Punamb is worked out for this many data sets side by side, one lane each.
inline constexpr std::size_t lanes = laneCount;

// One thread's working tables for the statistics of data sets, sized once per
// window so that scoring a data set allocates nothing.
struct StatisticsScratch {
    // Aligned as a whole vector register of lanes, which is how they are used.
    struct alignas(4 * lanes) DifferenceLanes {
        std::int32_t value[lanes];
    };
    std::vector<DifferenceLanes> differences;
    LaneScratch laneTables;

    explicit StatisticsScratch(const WindowModel& model);
};

// Punamb of up to `lanes` data sets: exchanges[j] says which families data set
// j exchanges; statistics[j] receives its value.
void knownPhaseStatistics(const WindowModel& model, std::span<const exchange::ExchangeBits> exchanges,
                          StatisticsScratch& scratch, std::span<double> statistics);

// Pg, Pe, Pc and Pem of up to `lanes` data sets at once, the same to the
// last bit as one at a time.
void weightedStatistics(const WindowModel& model, std::span<const exchange::ExchangeBits> exchanges,
                        StatisticsScratch& scratch, std::span<FourValues> statistics);

// The five statistics of a data set from its Punamb and its weighted four.
inline FiveStatistics fiveStatistics(double punamb, const FourValues& weighted) {
    FiveStatistics five{};
    at(five, Statistic::punamb) = punamb;
    for (std::size_t s = 0; s < weightedSetCount; ++s) at(five, weightedStatistic[s]) = weighted[s];
    return five;
}

// The five statistics of one data set, by the same code as the replicates':
// a family exchanged where the bit of its place in the input is set,
// observed elsewhere.
FiveStatistics dataSetStatistics(const WindowModel& model, exchange::ExchangeBits exchanges);

// The five statistics with every family observed.
FiveStatistics observedStatistics(const WindowModel& model);

// Per statistic, the haplotypes that enter its observed sum: those some
// parent carries once, D(h) > 0, in the counts of the observed data, added
// as the lane kernels add them. For Punamb the parents of the families of
// known phase; for the other four every family, weighted by its set.
std::array<std::int32_t, statisticCount> countHaplotypesInSums(const WindowModel& model);

}  // namespace triotdt::statistics
