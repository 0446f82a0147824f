// The frequency sets and the EM on small trios whose numbers can be worked
// out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "frequency/em.h"
#include "frequency/frequency_sets.h"
#include "frequency/natural_log.h"
#include "support/hand_trios.h"

namespace triotdt {
namespace {

using test::analyse;
using test::Analysed;
using test::trios;

TEST(Em, AOneHaplotypeWindowStopsAfterTheFirstIteration) {
    const Analysed a = analyse(trios({1}, {{1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1}}));
    EXPECT_TRUE(a.frequencies.emConverged);
    EXPECT_EQ(a.frequencies.emIterations, 1);
    EXPECT_EQ(a.frequencies.sets.emFreq, (std::vector<double>{1.0}));
    EXPECT_EQ(a.statistics, (statistics::FiveStatistics{}));
}

TEST(Em, NoFamiliesGiveZeroFrequenciesAndZeroStatistics) {
    const Analysed a = analyse(trios({2, 2}, {}));
    EXPECT_TRUE(a.frequencies.emConverged);
    EXPECT_EQ(a.frequencies.emIterations, 1);
    EXPECT_TRUE(a.frequencies.sets.emFreq.empty());
    EXPECT_EQ(a.statistics, (statistics::FiveStatistics{}));
}

TEST(Em, MatingTypeProbability) {
    const std::vector<double> q = {0.5, 0.25, 0.25};
    // Heterozygous parents: 2 q1 q2 × 2 q1 q3 × 2.
    EXPECT_EQ(frequency::matingTypeProbability({0, 1, 0, 2}, q), 2 * 0.125f * 2 * 0.125f * 2);
    // A homozygous father has no factor 2.
    EXPECT_EQ(frequency::matingTypeProbability({0, 0, 0, 2}, q), 0.25f * 0.25f * 2);
    // Parents with the same unordered pair: no factor 2 for the mating type.
    EXPECT_EQ(frequency::matingTypeProbability({0, 1, 1, 0}, q), 0.25f * 0.25f);
}

TEST(NaturalLog, WithinOneUnitInTheLastPlaceOfTheLibrary) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> probability(1e-7, 1.0000001);
    for (int i = 0; i < 200000; ++i) {
        const double x = i % 2 ? probability(random) : std::ldexp(probability(random), static_cast<int>(random() % 200) - 100);
        const double mine = frequency::naturalLog(x), library = std::log(x);
        EXPECT_LE(std::fabs(mine - library), std::fabs(std::nextafter(library, 0.0) - library)) << x;
    }
    EXPECT_EQ(frequency::naturalLog(1.0), 0.0);
    EXPECT_EQ(frequency::naturalLog(std::exp(1.0)), 1.0);
    EXPECT_TRUE(std::isinf(frequency::naturalLog(0.0)));
    EXPECT_TRUE(std::isnan(frequency::naturalLog(-1.0)));
    EXPECT_NEAR(frequency::naturalLog(4.9406564584124654e-324), -744.44007192138126, 1e-12);
}

}  // namespace
}  // namespace triotdt
