#include "shard/shard_plan.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace triotdt::shard {
namespace {

std::optional<std::int32_t> parseCount(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

}  // namespace

std::optional<ShardNumber> parseShardNumber(std::string_view text) {
    const std::size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::optional<std::int32_t> index = parseCount(text.substr(0, slash));
    const std::optional<std::int32_t> count = parseCount(text.substr(slash + 1));
    if (!index || !count || *index < 1 || *count < *index || *count > maxShardCount) return std::nullopt;
    return ShardNumber{*index, *count};
}

double windowWork(std::int64_t familiesTakingPart, std::int32_t replicateCount) {
    return (static_cast<double>(familiesTakingPart) + 1.0) * static_cast<double>(replicateCount);
}

WindowFamilies::WindowFamilies(std::int32_t lociCount)
    : lociCount_(std::max(lociCount, 0)),
      largest_(window::largestWindowSize(lociCount)),
      runs_(static_cast<std::size_t>(lociCount_) * static_cast<std::size_t>(largest_), 0) {}

void WindowFamilies::addFamily(std::span<const std::uint8_t> trioGenotyped) {
    // Backwards, so that the run from a locus is the run from the next one
    // plus one.
    std::int32_t run = 0;
    for (std::int32_t l = lociCount_ - 1; l >= 0; --l) {
        run = trioGenotyped[static_cast<std::size_t>(l)] != 0 ? std::min(run + 1, largest_) : 0;
        if (run > 0) ++runs_[static_cast<std::size_t>(l) * static_cast<std::size_t>(largest_) + (run - 1)];
    }
}

std::int64_t WindowFamilies::families(std::int32_t size, std::int32_t start) const {
    std::int64_t count = 0;
    const std::size_t first = static_cast<std::size_t>(start - 1) * static_cast<std::size_t>(largest_);
    for (std::int32_t run = size; run <= largest_; ++run) count += runs_[first + static_cast<std::size_t>(run - 1)];
    return count;
}

std::vector<double> workByFirstLocus(std::int32_t lociCount, std::int32_t replicateCount,
                                     const FamiliesOfWindow& families, window::WindowSizes sizes) {
    std::vector<double> work(static_cast<std::size_t>(std::max(lociCount, 0)), 0.0);
    for (std::int32_t start = 1; start <= lociCount; ++start) {
        double sum = 0.0;
        for (std::int32_t size = 1; size <= window::largestWindowSize(lociCount) && start + size - 1 <= lociCount;
             ++size) {
            if (sizes.contains(size)) sum += windowWork(families(size, start), replicateCount);
        }
        work[static_cast<std::size_t>(start - 1)] = sum;
    }
    return work;
}

std::vector<LocusRange> planShards(std::span<const double> work, std::int32_t shardCount) {
    double total = 0.0;
    for (const double w : work) total += w;
    const auto lociCount = static_cast<std::int32_t>(work.size());
    std::vector<LocusRange> ranges;
    std::int32_t next = 1;  // first locus of the shard being cut
    double before = 0.0;    // work of the loci before `next`
    for (std::int32_t k = 1; k <= shardCount; ++k) {
        // A locus goes to the shard whose share of the whole work holds the
        // middle of the locus's own work: shard k takes them up to k / N.
        const double end = total * static_cast<double>(k) / static_cast<double>(shardCount);
        std::int32_t last = next - 1;
        while (last < lociCount && (k == shardCount || before + work[static_cast<std::size_t>(last)] / 2.0 < end)) {
            before += work[static_cast<std::size_t>(last)];
            ++last;
        }
        ranges.push_back(LocusRange{next, last});
        next = last + 1;
    }
    return ranges;
}

LocusRange lociRead(LocusRange range, std::int32_t lociCount) {
    if (range.empty()) return range;
    return LocusRange{range.first, std::min(lociCount, range.last + window::largestWindowSize(lociCount) - 1)};
}

std::int64_t memoryEstimate(std::int64_t familyCount, std::int32_t lociCount, LocusRange range, int bytesPerAllele) {
    // The family tables of the loci read; per locus of the whole input a
    // family's three records while reading (24 bytes), the families taking
    // part in its windows (28) and its work (8); and room for the program and
    // a window's tables, with half as much again to spare.
    const LocusRange held = lociRead(range, lociCount);
    const double alleles = 6.0 * static_cast<double>(std::max<std::int64_t>(familyCount, 0)) *
                           static_cast<double>(held.empty() ? 0 : held.last - held.first + 1);
    const double bytes = alleles * bytesPerAllele + 60.0 * lociCount;
    return static_cast<std::int64_t>(std::ceil(64.0 + 1.5 * bytes / (1 << 20)));
}

}  // namespace triotdt::shard
