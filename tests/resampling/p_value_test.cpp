#include <gtest/gtest.h>

#include <cmath>

#include "resampling/resample.h"

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

}  // namespace
}  // namespace triotdt::resampling
