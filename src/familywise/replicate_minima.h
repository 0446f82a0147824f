#pragma once

// The run's per-replicate minima of the reference tails, and the family-wise
// p-values they give (Westfall and Young's single-step maxT, 1993).
//
// Replicate r exchanges the same families in every window (the counter-based
// stream), so the replicates of all windows together are draws of the whole
// scan under the null. For each of the first R replicates and each statistic
// the run keeps the smallest reference tail over its windows, as a depth
// (reference_tail.h): the deepest. A window's family-wise p-value is the
// share of replicates whose deepest tail is at least as deep as the window's
// observed one.
//
// Who does what, from which thread
//   - Windows end on any thread of the pool. The task that ends a window's
//     first batch folds that batch's R replicates into the run's
//     ReplicateMinima with fold(), which takes the minima's lock for its
//     whole work; the window then lets its replicates go. Nothing else is
//     shared, and no fold waits on anything but the lock.
//   - The owner of the run reads minima() once the pool has stopped, or
//     when no window is under way.
//   - A maximum is exact and does not depend on the order of its arguments,
//     so neither the threads nor the order in which windows end, nor a split
//     into shards whose minima are folded afterwards, changes a bit.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

#include "statistics/five_statistics.h"

namespace triotdt::familywise {

using statistics::FiveStatistics;

// Per statistic, the haplotypes that enter a window's observed sum: the k of
// its reference scale, fixed by the observed data, so that within a window
// the depth grows with the statistic.
using HaplotypesInSums = std::array<std::int32_t, statistics::statisticCount>;

// The depths of a window's five statistics on its reference scale.
FiveStatistics referenceDepths(const FiveStatistics& statistics, const HaplotypesInSums& haplotypes);

// Per replicate, per statistic, the deepest reference tail over the windows
// folded in (0, a tail of 1, before any).
struct MinimumTails {
    std::vector<FiveStatistics> deepest;

    std::int32_t replicateCount() const { return static_cast<std::int32_t>(deepest.size()); }
};

// Element by element, the deeper of `into` and `other`, which must have
// as many replicates (shards and chromosome runs put together).
void foldMinima(MinimumTails& into, const MinimumTails& other);

// The run's minima while its windows end; see the protocol above.
class ReplicateMinima {
public:
    explicit ReplicateMinima(std::int32_t replicateCount);

    std::int32_t replicateCount() const { return replicateCount_; }

    // Folds in a window's replicates 0 to R − 1, the five statistics of
    // each, whose reference scale has `haplotypes`. Replicates whose depth
    // cannot pass the shallowest of the deepest so far are not worked out.
    void fold(const HaplotypesInSums& haplotypes, std::span<const FiveStatistics> replicates);

    MinimumTails minima() const;

private:
    const std::int32_t replicateCount_;
    mutable std::mutex lock_;
    MinimumTails minima_;
};

// Two depths tie when they differ by at most this much: tails that agree to
// within a factor of 1 ± 2.3 × 10⁻⁶, the tie tolerance of the statistics
// (1.0E-6) carried over to the logarithm of the tails, where an absolute
// difference of tails near 10⁻⁸ would mean nothing. A window ties with
// itself: its depth is the same function of the same statistic.
inline constexpr double depthTieTolerance = 9.999999974752427e-07;

// A run's minima, sorted per statistic, to give any window its family-wise
// p-values.
class FamilyWiseScale {
public:
    explicit FamilyWiseScale(const MinimumTails& minima);

    std::int32_t replicateCount() const { return replicateCount_; }

    // The family-wise p-values of a window whose observed statistics have
    // `depths` and raw p-values `pValues`: per statistic, the exceedance
    // scores of the replicates' deepest tails against the window's own (one
    // for a deeper one, one half for a tie, as the raw p-values count),
    // over R; never below the raw p-value, of which a single-step maxT
    // p-value is an upper bound (the raw one may come from more replicates,
    // or its ties fall otherwise): the larger of the two is taken.
    FiveStatistics adjustedPValues(const FiveStatistics& depths, const FiveStatistics& pValues) const;

    // The depth past which a window's family-wise p-value of `statistic` is
    // at most `alpha`: the (⌊alpha × R⌋ + 1)-th deepest of the replicates'
    // deepest tails.
    double criticalDepth(statistics::Statistic statistic, double alpha) const;

private:
    std::int32_t replicateCount_;
    std::array<std::vector<double>, statistics::statisticCount> sorted_;  // ascending
};

}  // namespace triotdt::familywise
