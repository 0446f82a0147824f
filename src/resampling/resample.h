#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "haplotype/indexed_phases.h"
#include "resampling/exchange_draws.h"
#include "resampling/worker_pool.h"
#include "statistics/lane_statistics.h"
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

// Everything the statistics of a window's data sets (the observed data and
// every replicate) share, worked out once per window.
struct WindowModel {
    const haplotype::IndexedPhases* phases = nullptr;
    statistics::PhaseShares shares;
    statistics::HomozygoteCounts homozygotes;
    statistics::LaneModel lanes;  // refers to `shares` and `homozygotes`

    // Punamb. Exchanging a family of known phase trades its parents'
    // transmitted and untransmitted haplotypes, so per haplotype the number of
    // parents carrying it once stays the same and only transmitted minus
    // untransmitted changes, by a whole number.
    std::vector<std::int32_t> carriedOnce;          // per haplotype
    std::vector<std::int32_t> observedDifference;   // transmitted − untransmitted, all observed
    struct Difference {
        std::int32_t haplotype = 0;
        std::int32_t change = 0;  // what exchanging the family adds to the difference
    };
    std::vector<std::int32_t> knownPhaseFamilies;
    std::vector<std::size_t> firstDifference;       // per known family, and one past the last
    std::vector<Difference> differences;
};

WindowModel buildWindowModel(const haplotype::IndexedPhases& phases, const frequency::FrequencySets& sets);

// The five statistics with every family observed.
FiveStatistics observedStatistics(const WindowModel& model);

// The five statistics of one data set: family f exchanged where versions[f]
// is non-zero, observed elsewhere.
FiveStatistics dataSetStatistics(const WindowModel& model, statistics::Versions versions);

// Resamples the window with the next replicateCount × familyCount decisions of
// `draws`: in each replicate, the families drawn for it have both parents'
// transmitted and untransmitted alleles exchanged at every locus where their
// phase is resolved; the frequency sets stay those of the observed data. The
// replicates are shared out among the threads of `pool`; the result does not
// depend on how many there are. Returns the p-values of the five statistics.
FiveStatistics resampleWindow(const WindowModel& model, const FiveStatistics& observed, ExchangeDraws& draws,
                              WorkerPool& pool);

// Uses up the decisions of a window that is not analysed.
void skipWindowDraws(ExchangeDraws& draws);

}  // namespace triotdt::resampling
