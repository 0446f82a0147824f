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

// Everything the statistics of a window's data sets (the observed data and
// every replicate) share, worked out once per window.
struct WindowModel {
    const haplotype::IndexedPhases* phases = nullptr;
    statistics::PhaseShares shares;
    statistics::HomozygoteCounts homozygotes;

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

// Where a window's replicates take their decisions: one draw per family of
// the input and replicate, from the window's own place in the run's stream.
struct StreamPlace {
    std::int32_t familyCount = 0;
    std::int32_t replicateCount = 0;
    std::int64_t windowIndex = 0;  // in report order, from 0
};

// Replicates [first, last) of a window: in each replicate, the families drawn
// for it have both parents' transmitted and untransmitted alleles exchanged
// at every locus where their phase is resolved; the frequency sets stay those
// of the observed data. Returns the sums of their exceedance scores, which are
// multiples of one half far below 2^53: added up in any order, the scores of
// any split of a window's replicates give the same p-values.
FiveStatistics scoreReplicates(const WindowModel& model, const FiveStatistics& observed, StreamPlace place,
                               std::int32_t first, std::int32_t last);

// The p-values from the score sums of all replicates.
FiveStatistics pValuesOf(const FiveStatistics& scoreSums, std::int32_t replicateCount);

// How many replicates of the window are worth one task of their own: about
// a few hundred microseconds of work, and a multiple of the replicates scored
// side by side.
std::int32_t replicatesPerTask(const WindowModel& model);

}  // namespace triotdt::resampling
