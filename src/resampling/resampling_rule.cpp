#include "resampling/resampling_rule.h"

#include <algorithm>

namespace triotdt::resampling {

std::int32_t firstBatchEnd(const ResamplingRule& rule, std::int32_t replicateCount) {
    return rule.adaptive() ? std::min(replicateCount, rule.maxReplicates) : replicateCount;
}

std::int32_t nextBatchEnd(const ResamplingRule& rule, std::int32_t done, const statistics::FiveStatistics& scoreSums) {
    if (!rule.adaptive() || done >= rule.maxReplicates || done <= 0) return done;
    const bool resolved =
        std::all_of(scoreSums.begin(), scoreSums.end(), [](double sum) { return sum >= exceedancesToStop; });
    if (resolved) return done;
    return static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{2} * done, rule.maxReplicates));
}

}  // namespace triotdt::resampling
