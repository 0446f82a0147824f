#include "output/qq_plot.h"

#include <gtest/gtest.h>
#include <cmath>

#include "output/figure_math.h"

namespace triotdt::output {
namespace {

TEST(FigureMath, ChiSquareAndOrderStatisticQuantiles) {
    EXPECT_NEAR(chiSquareOfP(0.05), 3.841458820694124, 1e-8);
    EXPECT_NEAR(chiSquareOfP(0.5), chiSquareMedian, 1e-9);
    EXPECT_NEAR(chiSquareOfP(1e-8), 32.84125335, 1e-6);
    EXPECT_EQ(chiSquareOfP(1.5), 0);
    EXPECT_NEAR(minusLog10(0.001), 3, 1e-15);
    // The smallest of n falls below 1 - (1 - q)^(1/n), the largest below q^(1/n).
    for (const std::int64_t n : {1, 7, 1000, 2000000}) {
        for (const double q : {0.025, 0.975}) {
            EXPECT_NEAR(uniformOrderQuantile(1, n, q) / -std::expm1(std::log1p(-q) / n), 1, 1e-7) << n;
        }
    }
    EXPECT_NEAR(uniformOrderQuantile(150, 150, 0.025), std::pow(0.025, 1 / 150.0), 1e-9);
    // Exact up to rank 200, approximated beyond: the two meet.
    EXPECT_NEAR(uniformOrderQuantile(201, 5000, 0.025) / uniformOrderQuantile(200, 5000, 0.025), 1, 0.01);
}

TEST(QqPlot, InflationFactorIsTheMedianChiSquareOverItsExpectedValue) {
    EXPECT_FALSE(inflationFactor({}));
    EXPECT_NEAR(*inflationFactor({{{0.5, false}, 3}}), 1, 1e-9);
    // Two windows: the mean of their chi-square values.
    EXPECT_DOUBLE_EQ(*inflationFactor({{{0.05, false}, 1}, {{0.5, false}, 1}}),
                     (chiSquareOfP(0.05) + chiSquareOfP(0.5)) / 2 / chiSquareMedian);
    // p = 0 counts at 1/(2R), below a p of 1/(2R); p above 1 as 1.
    const PValueCounts counts = {{qqValueOf(0, 100), 2}, {qqValueOf(0.005, 100), 1}, {qqValueOf(1.25, 100), 2}};
    EXPECT_EQ(counts.begin()->first, (QqValue{0.005, true}));
    EXPECT_DOUBLE_EQ(*inflationFactor(counts), chiSquareOfP(0.005) / chiSquareMedian);
    PValuesBySize bySize;
    bySize[1] = {{{0.5, false}, 2}};
    bySize[2] = {{{0.5, false}, 1}, {{0.01, false}, 4}};
    EXPECT_EQ(pooled(bySize), (PValueCounts{{{0.01, false}, 4}, {{0.5, false}, 3}}));
    EXPECT_EQ(inflationText(1.0004999), "1.000");
}

// Windows whose replicates differ could give every window its own p-value:
// past 16,384 of them the counts coarsen, and the factor hardly moves.
TEST(QqPlot, CountsOfManyDistinctPValuesStayBounded) {
    PValueCounts counts;
    PValueCounts exact;
    for (std::int32_t w = 1; w <= 100000; ++w) {
        const QqValue value{(w * 7919 % 100000 + 0.5) / 100000, false};
        countPValue(counts, value);
        ++exact[value];
    }
    EXPECT_LE(counts.size(), 16384u);
    std::int64_t total = 0;
    for (const auto& [value, count] : counts) total += count;
    EXPECT_EQ(total, 100000);
    EXPECT_NEAR(*inflationFactor(counts), *inflationFactor(exact), 0.01);
}

// Windows of a p-value share a height: each level is a step across the
// expected values of its ranks, from the smallest p at the top right.
TEST(QqPlot, DrawsAStaircaseOverTheBandAndGivesLambda) {
    PValuesBySize bySize;
    bySize[1] = {{{0.001, true}, 1}, {{0.25, false}, 2}, {{0.75, false}, 1}};
    SvgDocument doc;
    drawQqPanel(doc, bySize, "Pe", 100, 50, 200);
    EXPECT_NE(doc.svg.find(">QQ plot of Pe</text>"), std::string::npos);
    EXPECT_NE(doc.svg.find(">expected −log10 p</text>"), std::string::npos);
    EXPECT_NE(doc.svg.find(">λ = " + inflationText(*inflationFactor(bySize[1])) + " (4 windows)</text>"),
              std::string::npos);
    EXPECT_NE(doc.svg.find("<polygon class=\"band\""), std::string::npos);
    // The axes run to 3 (-log10 0.001): 200 pixels for 3; expected of ranks 1 to 4: -log10((i - 1/2)/4).
    const auto x = [](double e) { return pixels(100 + 200 * e / 3); };
    const auto y = [](double o) { return pixels(250 - 200 * o / 3); };
    const std::string steps = x(minusLog10(0.125)) + "," + y(3) + " " + x(minusLog10(0.375)) + "," +
                              y(minusLog10(0.25)) + " " + x(minusLog10(0.625)) + "," + y(minusLog10(0.25)) + " " +
                              x(minusLog10(0.875)) + "," + y(minusLog10(0.75));
    EXPECT_NE(doc.svg.find("points=\"" + steps), std::string::npos) << doc.svg;
    EXPECT_NE(doc.svg.find("class=\"zero\""), std::string::npos);
}

}  // namespace
}  // namespace triotdt::output
