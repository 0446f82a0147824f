#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "window/window_order.h"

namespace triotdt::shard {

// Shard `index` of `count` (1-based, index <= count), as in "--shard 3/8".
struct ShardNumber {
    std::int32_t index = 1;
    std::int32_t count = 1;

    friend bool operator==(const ShardNumber&, const ShardNumber&) = default;
};

// "K/N" with 1 <= K <= N <= maxShardCount; nothing when the text is not that.
inline constexpr std::int32_t maxShardCount = 100000;
std::optional<ShardNumber> parseShardNumber(std::string_view text);

// Loci first..last (1-based, both included); empty when first > last.
struct LocusRange {
    std::int32_t first = 1;
    std::int32_t last = 0;

    bool empty() const { return first > last; }
    friend bool operator==(const LocusRange&, const LocusRange&) = default;
};

// The work a window costs, in the one unit the shards are balanced by: the
// replicates times the families taking part (each replicate scores every
// family), plus one family's worth for the window's own preparation.
double windowWork(std::int64_t familiesTakingPart, std::int32_t replicateCount);

// How many families take part in the window of `size` loci from `start`.
using FamiliesOfWindow = std::function<std::int64_t(std::int32_t size, std::int32_t start)>;

// How many families take part in each window (their father, mother and
// child genotyped at every locus of it), counted one family at a time as the
// records are read, so that the genotypes themselves are not kept: per locus,
// how many families are genotyped from it onwards for 1, 2, ... up to the
// largest window's loci.
class WindowFamilies {
public:
    explicit WindowFamilies(std::int32_t lociCount);

    // Adds a family; `trioGenotyped[l]` is nonzero where its trio is
    // genotyped at locus l (0-based), one entry per locus.
    void addFamily(std::span<const std::uint8_t> trioGenotyped);
    std::int64_t families(std::int32_t size, std::int32_t start) const;

private:
    std::int32_t lociCount_ = 0;
    std::int32_t largest_ = 0;
    // [(start - 1) × largest_ + run - 1]: the families genotyped at exactly
    // `run` loci from `start` on, or at `largest_` or more.
    std::vector<std::int32_t> runs_;
};

// Per locus l (index l - 1), the work of every window of `sizes` that
// begins at l. Adaptive replicates count their first batch: the replicates
// beyond it are not known before the windows are analysed.
std::vector<double> workByFirstLocus(std::int32_t lociCount, std::int32_t replicateCount,
                                     const FamiliesOfWindow& families, window::WindowSizes sizes = {});

// Cuts the loci into `shardCount` contiguous ranges of about equal work, in
// locus order; a range may be empty when there are more shards than loci.
// The cut depends only on `work`, so every shard of a run, on any machine,
// finds the same ranges.
std::vector<LocusRange> planShards(std::span<const double> work, std::int32_t shardCount);

// The loci that the windows beginning in `range` read: the range and the
// loci after it that its largest windows reach.
LocusRange lociRead(LocusRange range, std::int32_t lociCount);

// An estimate of the memory in MB a shard needs for `range` of an input of
// `familyCount` trios and `lociCount` loci whose tables take
// `bytesPerAllele`, for a cluster job's resources.
std::int64_t memoryEstimate(std::int64_t familyCount, std::int32_t lociCount, LocusRange range, int bytesPerAllele);

}  // namespace triotdt::shard
