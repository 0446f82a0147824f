#include "familywise/replicate_minima.h"

#include <gtest/gtest.h>

#include "familywise/reference_tail.h"
#include "support/random_trios.h"

namespace triotdt::familywise {
namespace {

using statistics::Statistic;

// Windows of several scales, each with R replicates of random statistics.
struct Window {
    HaplotypesInSums haplotypes;
    std::vector<FiveStatistics> replicates;
};

std::vector<Window> randomWindows(std::int32_t replicates) {
    test::SmallRandom random{7};
    std::vector<Window> windows;
    for (const HaplotypesInSums haplotypes : {HaplotypesInSums{2, 2, 2, 2, 2}, HaplotypesInSums{0, 1, 3, 4, 2},
                                              HaplotypesInSums{8, 8, 6, 8, 7}, HaplotypesInSums{2, 3, 2, 40, 5}}) {
        Window window{haplotypes, {}};
        for (std::int32_t r = 0; r < replicates; ++r) {
            FiveStatistics statistics{};
            for (double& value : statistics) value = random.below(4000) / 100.0;
            window.replicates.push_back(statistics);
        }
        windows.push_back(window);
    }
    return windows;
}

// The filter that skips replicates which cannot deepen the minima changes
// nothing, and neither does the order of the windows nor a split of them
// into parts folded together afterwards (shards, chromosomes).
TEST(ReplicateMinima, HoldTheDeepestTailOfEveryReplicateWhateverTheOrder) {
    const std::int32_t replicates = 300;
    const std::vector<Window> windows = randomWindows(replicates);
    MinimumTails expected{std::vector<FiveStatistics>(replicates)};
    for (const Window& w : windows) {
        for (std::size_t r = 0; r < w.replicates.size(); ++r) {
            for (std::size_t s = 0; s < 5; ++s) {
                expected.deepest[r][s] =
                    std::max(expected.deepest[r][s], referenceDepth(w.replicates[r][s], w.haplotypes[s]));
            }
        }
    }
    ReplicateMinima inOrder(replicates), firstHalf(replicates), secondHalf(replicates);
    for (const Window& w : windows) inOrder.fold(w.haplotypes, w.replicates);
    for (std::size_t i = windows.size(); i-- > 0;) {
        (i % 2 == 0 ? firstHalf : secondHalf).fold(windows[i].haplotypes, windows[i].replicates);
    }
    MinimumTails parts = secondHalf.minima();
    foldMinima(parts, firstHalf.minima());
    EXPECT_EQ(inOrder.minima().deepest, expected.deepest);
    EXPECT_EQ(parts.deepest, expected.deepest);
}

// Four replicates whose deepest tails of Punamb are 1, 2, 3 and 3.
TEST(FamilyWiseScale, CountsDeeperReplicatesAndHalfTiesAndNeverGoesBelowTheRawP) {
    MinimumTails minima{std::vector<FiveStatistics>(4)};
    const double punamb[] = {3, 1, 3, 2};
    for (std::size_t r = 0; r < 4; ++r) minima.deepest[r][0] = punamb[r];
    const FamilyWiseScale scale(minima);
    const auto adjusted = [&](double depth, double p) { return scale.adjustedPValues({depth}, {p})[0]; };
    EXPECT_EQ(adjusted(2, 0), 2.5 / 4);         // two deeper, one tie: the window's own replicate
    EXPECT_EQ(adjusted(2 + 9e-7, 0), 2.5 / 4);  // a tie within the tolerance
    EXPECT_EQ(adjusted(2 + 2e-6, 0), 2.0 / 4);
    EXPECT_EQ(adjusted(3.5, 0), 0.0);
    EXPECT_EQ(adjusted(0.5, 0), 1.0);
    EXPECT_EQ(adjusted(3.5, 0.01), 0.01);  // never below the raw p
    EXPECT_EQ(adjusted(2, 0.9), 0.9);
    // Statistics without a tail (k ≤ 1) have depth 0 in every replicate: all ties.
    EXPECT_EQ(scale.adjustedPValues({}, {})[1], 0.5);
    // 5% of 4 replicates: none may lie deeper, so the line is at the deepest.
    EXPECT_EQ(scale.criticalDepth(Statistic::punamb, 0.05), 3.0);
    EXPECT_EQ(scale.criticalDepth(Statistic::punamb, 0.25), 3.0);
    EXPECT_EQ(scale.criticalDepth(Statistic::punamb, 0.5), 2.0);
}

}  // namespace
}  // namespace triotdt::familywise
