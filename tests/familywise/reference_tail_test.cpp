#include "familywise/reference_tail.h"

#include <gtest/gtest.h>

#include <cmath>

namespace triotdt::familywise {
namespace {

// −log10 of the upper tail of χ²(df) at x, from the regularized incomplete
// gamma function at 50 digits (mpmath), over the shapes the closed forms
// split into (odd and even, one degree of freedom to hundreds), tails near 1,
// tails of every size in between, and tails far below the smallest double.
TEST(ChiSquareTail, MatchesKnownValues) {
    struct Known {
        double x;
        std::int32_t df;
        double depth;
    };
    const Known known[] = {
        {0.001, 1, 0.011096562482616878},
        {0.5, 1, 0.31921127782572033},
        {3.841458820694124, 1, 1.3010299956639807},
        {10, 1, 2.8053740440709202},
        {24.5, 1, 6.1289536899580143},
        {60, 1, 14.022928894549322},
        {1000, 1, 218.74573410420501},
        {5000, 1, 1087.6838365143224},
        {0.5, 2, 0.10857362047581296},
        {13.815510557964274, 2, 2.9999999999999999},
        {7.8, 3, 1.2981635963408682},
        {2, 4, 0.13326448623927063},
        {30, 5, 4.8312497611649943},
        {12, 7, 0.99757962199016442},
        {100, 10, 16.263627246477839},
        {64, 63, 0.35538420863670012},
        {200, 63, 15.441651267067651},
        {93.98425832067838, 127, 0.0054594240175128853},
        {400, 127, 29.279903458105072},
        {3000, 500, 350.62788074849562},
        {800, 3, 172.36376585244025},
        {20000, 64, 4252.8584925327193},
    };
    for (const Known& k : known) {
        EXPECT_NEAR(chiSquareTailDepth(k.x, k.df), k.depth, 1e-12 * k.depth) << "x " << k.x << ", df " << k.df;
    }
    EXPECT_EQ(chiSquareTailDepth(0, 3), 0.0);
    EXPECT_EQ(chiSquareTailDepth(-1, 1), 0.0);
    EXPECT_EQ(chiSquareTailDepth(std::nan(""), 1), 0.0);
}

// The filter of the fold skips a replicate whose bound is no deeper than
// the run's deepest so far: the bound must lie above every depth, by more
// than the depth's rounding.
TEST(ChiSquareTail, BoundLiesAboveEveryDepth) {
    for (double x = 0; x < 3000; x = x * 1.07 + 0.01) {
        for (const std::int32_t df : {1, 2, 3, 6, 31, 127}) {
            EXPECT_GT(tailDepthBound(x), chiSquareTailDepth(x, df) + 0.01) << "x " << x << ", df " << df;
        }
    }
}

// The depth grows with the statistic within a window, so that its order is
// the statistics' order: strictly once the tail is below 1 − 10⁻⁶, and to
// within rounding, far inside the tie tolerance, where it is nearly 1. A
// window of one haplotype in its sum tests nothing.
TEST(ReferenceDepth, GrowsWithTheStatisticAndNeedsTwoHaplotypes) {
    for (const std::int32_t k : {2, 3, 8, 40}) {
        double before = 0;
        for (double statistic = 0.01; statistic < 500; statistic *= 1.3) {
            const double depth = referenceDepth(statistic, k);
            EXPECT_GE(depth, before > 1e-6 ? std::nextafter(before, 1e9) : before - 1e-15)
                << "k " << k << ", statistic " << statistic;
            before = depth;
        }
    }
    EXPECT_EQ(referenceDepth(50, 1), 0.0);
    EXPECT_EQ(referenceDepth(50, 0), 0.0);
    // (k − 1)/k × statistic on χ²(k − 1): 3/4 × 10 on three degrees of freedom.
    EXPECT_EQ(referenceDepth(10, 4), chiSquareTailDepth(7.5, 3));
}

}  // namespace
}  // namespace triotdt::familywise
