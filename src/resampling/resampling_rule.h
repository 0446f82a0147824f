#pragma once

#include <cstdint>
#include <optional>

#include "statistics/five_statistics.h"

namespace triotdt::resampling {

// How a run's p-values are made: which stream exchanges the families, and
// how many replicates each window takes. By default the run's stream and the
// input's replicate count R in every window, with which every report stays
// what it always was. With a seed (--seed) the counter-based stream, whose
// bits depend on the seed, the replicate and the family alone; with a
// maximum (--adaptive MAX) adaptive replicates, which need that stream,
// since a window then reads as many replicates as it needs. With
// family-wise p-values (--family-wise), which need that stream too, since
// replicate r must exchange the same families in every window, the first
// batch of every window is also folded into the run's minima
// (familywise/replicate_minima.h).
struct ResamplingRule {
    std::optional<std::uint64_t> seed;  // the counter-based stream's; none: the run's stream
    std::int32_t maxReplicates = 0;     // adaptive replicates, at most this many a window; 0: R
    bool familyWise = false;

    bool counterBased() const { return seed.has_value(); }
    bool adaptive() const { return maxReplicates > 0; }
    friend bool operator==(const ResamplingRule&, const ResamplingRule&) = default;
};

// The seed of the counter-based stream when --adaptive asks for it without --seed.
inline constexpr std::uint64_t defaultSeed = 1;

// Adaptive replicates (the sequential p-values of Besag and Clifford,
// Biometrika 1991): a window stops once every statistic has gathered this
// many exceedance scores, a tie counting one half. With h exceedances behind
// a p-value its relative standard error is about 1/sqrt(h), 22% at 20, and a
// window of true p costs about h/p replicates: 20 keeps the p-values that
// matter within about ±25% while most windows, p far above 1/R, stop after
// their first R replicates.
inline constexpr double exceedancesToStop = 20;

// The window's replicates are run in batches, each reading the replicates
// [done, end) of the window, numbered from 0. The first batch ends at R (at
// MAX when that is smaller); under the adaptive rule each later one doubles
// the replicates done, up to MAX.
std::int32_t firstBatchEnd(const ResamplingRule& rule, std::int32_t replicateCount);

// Where the next batch ends after `done` replicates whose score sums are
// `scoreSums`: `done` itself when the window stops there (every statistic has
// its exceedances, MAX is reached, or the rule is not adaptive).
std::int32_t nextBatchEnd(const ResamplingRule& rule, std::int32_t done, const statistics::FiveStatistics& scoreSums);

}  // namespace triotdt::resampling
