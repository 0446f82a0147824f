#include "familywise/replicate_minima.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "familywise/reference_tail.h"

namespace triotdt::familywise {

FiveStatistics referenceDepths(const FiveStatistics& statistics, const HaplotypesInSums& haplotypes) {
    FiveStatistics depths{};
    for (std::size_t s = 0; s < depths.size(); ++s) depths[s] = referenceDepth(statistics[s], haplotypes[s]);
    return depths;
}

void foldMinima(MinimumTails& into, const MinimumTails& other) {
    if (into.deepest.size() != other.deepest.size()) throw std::logic_error("minima of different replicate counts");
    for (std::size_t r = 0; r < into.deepest.size(); ++r) {
        for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
            into.deepest[r][s] = std::max(into.deepest[r][s], other.deepest[r][s]);
        }
    }
}

ReplicateMinima::ReplicateMinima(std::int32_t replicateCount)
    : replicateCount_(replicateCount), minima_{std::vector<FiveStatistics>(static_cast<std::size_t>(replicateCount))} {}

namespace {

// A reference value at or below which no replicate's depth can reach
// `floor`: the computed depth grows with the value to within a relative
// 10⁻¹² (reference_tail.h), so a value whose depth lies below the floor by
// more than that margin has every smaller value below the floor too. Found by
// a few halvings; a lower one only lets more replicates through.
double valueBelowFloor(double floor, std::int32_t degreesOfFreedom) {
    const double target = floor - (floor * 1e-9 + 1e-12);
    if (!(target > 0)) return -1;  // nothing lies below a floor of 0
    double low = 0;
    double high = std::max(1.0, 2.0 * degreesOfFreedom);
    while (chiSquareTailDepth(high, degreesOfFreedom) < target) {
        low = high;
        high *= 2;
    }
    for (int halving = 0; halving < 12; ++halving) {
        const double middle = low / 2 + high / 2;
        (chiSquareTailDepth(middle, degreesOfFreedom) < target ? low : high) = middle;
    }
    return low;
}

}  // namespace

void ReplicateMinima::fold(const HaplotypesInSums& haplotypes, std::span<const FiveStatistics> replicates) {
    if (replicates.size() != static_cast<std::size_t>(replicateCount_)) {
        throw std::logic_error("a window's first batch is not the run's replicates");
    }
    const std::lock_guard<std::mutex> hold(lock_);
    for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
        if (haplotypes[s] <= 1) continue;
        // Most replicates of a window lie below the shallowest of the run's
        // deepest tails so far, and need no tail of their own.
        double floor = minima_.deepest.front()[s];
        for (const FiveStatistics& deepest : minima_.deepest) floor = std::min(floor, deepest[s]);
        const double below = valueBelowFloor(floor, haplotypes[s] - 1);
        for (std::size_t r = 0; r < replicates.size(); ++r) {
            const double value = referenceValue(replicates[r][s], haplotypes[s]);
            if (!(value > below)) continue;
            double& deepest = minima_.deepest[r][s];
            deepest = std::max(deepest, chiSquareTailDepth(value, haplotypes[s] - 1));
        }
    }
}

MinimumTails ReplicateMinima::minima() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return minima_;
}

FamilyWiseScale::FamilyWiseScale(const MinimumTails& minima) : replicateCount_(minima.replicateCount()) {
    for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
        std::vector<double>& sorted = sorted_[s];
        for (const FiveStatistics& deepest : minima.deepest) sorted.push_back(deepest[s]);
        std::sort(sorted.begin(), sorted.end());
    }
}

FiveStatistics FamilyWiseScale::adjustedPValues(const FiveStatistics& depths, const FiveStatistics& pValues) const {
    FiveStatistics adjusted{};
    for (std::size_t s = 0; s < adjusted.size(); ++s) {
        const std::vector<double>& sorted = sorted_[s];
        const auto tiesFrom = std::lower_bound(sorted.begin(), sorted.end(), depths[s] - depthTieTolerance);
        const auto deeperFrom = std::upper_bound(tiesFrom, sorted.end(), depths[s] + depthTieTolerance);
        // Scores are multiples of one half: their sum is exact.
        const double scores =
            static_cast<double>(sorted.end() - deeperFrom) + 0.5 * static_cast<double>(deeperFrom - tiesFrom);
        adjusted[s] = std::max(replicateCount_ > 0 ? scores / replicateCount_ : 1.0, pValues[s]);
    }
    return adjusted;
}

double FamilyWiseScale::criticalDepth(statistics::Statistic statistic, double alpha) const {
    const std::vector<double>& sorted = sorted_[statistics::indexOf(statistic)];
    if (sorted.empty()) return 0;
    const auto deeper = static_cast<std::size_t>(std::floor(alpha * static_cast<double>(sorted.size())));
    return sorted[sorted.size() - 1 - std::min(deeper, sorted.size() - 1)];
}

}  // namespace triotdt::familywise
