#include <gtest/gtest.h>

#include <cmath>

#include "resampling/resample.h"
#include "resampling/resampling_rule.h"
#include "support/allocation_watch.h"
#include "support/random_trios.h"
#include "window/prepare_window.h"

namespace triotdt::resampling {
namespace {

TEST(ExceedanceScore, ATieWithinTheToleranceOnEitherSideCountsOneHalf) {
    EXPECT_EQ(exceedanceScore(2.5, 2.5), 0.5);
    EXPECT_EQ(exceedanceScore(2.5 + 1.0e-7, 2.5), 0.5);
    EXPECT_EQ(exceedanceScore(2.5 - 1.0e-7, 2.5), 0.5);
    EXPECT_EQ(exceedanceScore(0.0, 0.0), 0.5);
    EXPECT_EQ(exceedanceScore(tieTolerance, 0.0), 0.5);
    EXPECT_EQ(exceedanceScore(-tieTolerance, 0.0), 0.5);
}

TEST(ExceedanceScore, FartherAboveCountsOneAndFartherBelowNothing) {
    EXPECT_EQ(exceedanceScore(2.5 + 1.0e-5, 2.5), 1.0);
    EXPECT_EQ(exceedanceScore(2.5 - 1.0e-5, 2.5), 0.0);
    EXPECT_EQ(exceedanceScore(8.0, 0.0), 1.0);
    EXPECT_EQ(exceedanceScore(0.0, 8.0), 0.0);
    // The tolerance is the single-precision number nearest to 1.0E-6, a
    // little below it: a difference of exactly 1.0E-6 is no tie.
    EXPECT_EQ(exceedanceScore(1.0e-6, 0.0), 1.0);
    EXPECT_EQ(exceedanceScore(-1.0e-6, 0.0), 0.0);
    EXPECT_EQ(exceedanceScore(std::nextafter(tieTolerance, 1.0), 0.0), 1.0);
}

TEST(ExceedanceScore, NeverMoreThanOneSoAPValueNeverExceedsOne) {
    const double observed = 3.7;
    double previous = 0.0;
    for (int step = -300; step <= 300; ++step) {
        const double replicate = observed + step * 1.0e-8;
        const double score = exceedanceScore(replicate, observed);
        EXPECT_TRUE(score == 0.0 || score == 0.5 || score == 1.0) << replicate;
        EXPECT_GE(score, previous) << "the score must not fall as the replicate grows: " << replicate;
        previous = score;
    }
}

TEST(AdaptiveReplicates, BatchesDoubleUntilEveryStatisticHasItsExceedancesOrMax) {
    const ResamplingRule adaptive{1, 1000}, fixed{1, 0};
    const statistics::FiveStatistics resolved{20, 20, 400, 20.5, 20}, open{20, 20, 19.5, 20, 20};
    const struct {
        ResamplingRule rule;
        std::int32_t done;
        statistics::FiveStatistics sums;
        std::int32_t next;
    } cases[] = {
        {adaptive, 100, resolved, 100},
        {adaptive, 100, open, 200},
        {adaptive, 400, open, 800},
        {adaptive, 800, open, 1000},
        {adaptive, 1000, open, 1000},
        {fixed, 100, open, 100},
        {{1, 2147483647}, 2000000000, open, 2147483647},
    };
    for (const auto& c : cases) EXPECT_EQ(nextBatchEnd(c.rule, c.done, c.sums), c.next) << c.done;
    EXPECT_EQ(firstBatchEnd(adaptive, 100), 100);
    EXPECT_EQ(firstBatchEnd(adaptive, 5000), 1000);
    EXPECT_EQ(firstBatchEnd(fixed, 5000), 5000);
}

// A window's buffers, once made, serve any later replicates, of either stream,
// with no allocation at all.
TEST(ReplicateBuffers, LaterReplicatesAllocateNothing) {
    const auto window = window::prepareWindow(test::randomTrios(5, 300, {2, 3, 2, 2}), 4, 1);
    for (const std::optional<std::uint64_t> seed : {std::optional<std::uint64_t>{}, std::optional<std::uint64_t>{7}}) {
        ReplicateBuffers buffers(*window->model, {300, 20000, 3, seed});
        scoreReplicates(*window->model, window->observed, 0, 100, buffers);
        startWatchingAllocations();
        const statistics::FiveStatistics scores =
            scoreReplicates(*window->model, window->observed, 100, 20000, buffers);
        stopWatchingAllocations();
        EXPECT_EQ(allocationsWatched(), 0u) << seed.has_value();
        EXPECT_GT(scores[0], 0.0);
    }
}

}  // namespace
}  // namespace triotdt::resampling
