#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "haplotype/indexed_phases.h"
#include "resampling/exchange_draws.h"
#include "statistics/weighted_counts.h"

namespace triotdt::resampling {

// The five statistics of a window in the order Punamb, Pg, Pe, Pc, Pem.
using FiveStatistics = std::array<double, 5>;

// A replicate statistic within this distance of the observed one is a tie.
// It is the single-precision number nearest to 1.0E-6, used as a double.
constexpr double tieTolerance = 9.999999974752427e-07;

// How much one replicate adds to the count behind a p-value: one half for a
// tie (either side), otherwise one when it is greater than the observed value.
double exceedanceScore(double replicate, double observed);

// Working tables for the statistics of one data set (observed or replicate),
// sized once per window.
struct StatisticsScratch {
    statistics::WeightedCounts weighted;
    std::vector<std::int32_t> transmitCount;  // families of known phase only
    std::vector<std::int32_t> untransmitCount;
    std::vector<std::int32_t> homoCount;
    std::vector<std::int32_t> knownPhaseFamilies;

    explicit StatisticsScratch(const haplotype::IndexedPhases& phases);
};

// The five statistics with each family in its observed version, or in its
// exchanged version where `exchanged[f]` is non-zero.
FiveStatistics windowStatistics(const haplotype::IndexedPhases& phases, const statistics::PhaseShares& shares,
                                std::span<const std::uint8_t> exchanged, StatisticsScratch& scratch);

// Resamples the window with the next replicateCount × familyCount decisions of
// `draws`: in each replicate, the families drawn for it have both parents'
// transmitted and untransmitted alleles exchanged at every locus where their
// phase is resolved; the frequency sets (hence the shares) stay those of the
// observed data. The replicates are spread over `threads` threads; the result
// does not depend on how many. Returns the p-values of the five statistics.
FiveStatistics resampleWindow(const haplotype::IndexedPhases& phases, const statistics::PhaseShares& shares,
                              const FiveStatistics& observed, ExchangeDraws& draws, unsigned threads);

// Uses up the decisions of a window that is not analysed.
void skipWindowDraws(ExchangeDraws& draws);

}  // namespace triotdt::resampling
