// The observed statistics on small trios whose numbers can be worked out by hand.
#include <gtest/gtest.h>

#include "support/hand_trios.h"

namespace triotdt {
namespace {

using statistics::Statistic;
using statistics::statisticCount;
using test::analyse;
using test::Analysed;
using test::trios;

TEST(Statistics, FourParentsTransmittingOneHaplotypeGivePunambEight) {
    // Both parents 1/2, child 1/1, twice: transmitted 1 four times, kept back 2 four times.
    const Analysed a = analyse(trios({2}, {{1, 2, 1, 2, 1, 1}, {2, 1, 1, 2, 1, 1}}));
    EXPECT_EQ(a.frequencies.counts.transmitCount, (std::vector<double>{4, 0}));
    EXPECT_EQ(a.frequencies.counts.untransmitCount, (std::vector<double>{0, 4}));
    EXPECT_EQ(at(a.statistics, Statistic::punamb), 8.0);  // 16/4 + 16/4
}

TEST(Statistics, WithEveryFamilyOfKnownPhaseAllFiveAgree) {
    // Two loci, no family ambiguous, every haplotype of positive frequency.
    const Analysed a = analyse(trios({2, 3}, {{1, 2, 1, 3, 1, 1, 2, 2, 1, 2, 2, 3},
                                              {2, 2, 1, 2, 1, 2, 3, 3, 2, 1, 1, 3},
                                              {1, 1, 2, 3, 2, 1, 1, 2, 1, 2, 3, 1}}));
    ASSERT_EQ(a.frequencies.unambiguousFamilyCount, 3);
    for (std::size_t s = 1; s < statisticCount; ++s)
        EXPECT_EQ(a.statistics[s], at(a.statistics, Statistic::punamb)) << "statistic " << s;
    // The EM's first iteration gives the counted frequencies, the second the same again.
    EXPECT_TRUE(a.frequencies.emConverged);
    EXPECT_EQ(a.frequencies.emIterations, 2);
    EXPECT_EQ(a.frequencies.sets.emFreq, a.frequencies.sets.haplotypeFreq);
    EXPECT_EQ(a.frequencies.sets.phaseShareFreq, a.frequencies.sets.haplotypeFreq);
}

TEST(Statistics, AHomozygousParentAddsNothing) {
    const std::vector<std::int32_t> informative = {1, 2, 1, 2, 1, 1};
    const Analysed without = analyse(trios({2}, {informative}));
    // A father 1/1 transmitting and keeping back 1: counted on both sides and as homozygous.
    const Analysed with = analyse(trios({2}, {informative, {1, 1, 2, 2, 1, 2}}));
    EXPECT_EQ(with.frequencies.counts.homoCount, (std::vector<double>{1, 1}));
    for (std::size_t s = 0; s < statisticCount; ++s)
        EXPECT_EQ(with.statistics[s], without.statistics[s]) << "statistic " << s;
}

TEST(Statistics, WithoutFamiliesOfKnownPhaseTheCountedFrequenciesAreZeroAndPgIsZero) {
    // Every family: both parents and the child 1/2, ambiguous.
    const Analysed a = analyse(trios({2}, {{1, 2, 2, 1, 1, 2}, {1, 2, 1, 2, 2, 1}}));
    EXPECT_EQ(a.frequencies.unambiguousFamilyCount, 0);
    EXPECT_EQ(a.frequencies.sets.haplotypeFreq, (std::vector<double>{0, 0}));
    EXPECT_EQ(at(a.statistics, Statistic::punamb), 0.0);
    EXPECT_EQ(at(a.statistics, Statistic::pg), 0.0);
}

TEST(Statistics, AFamilyWhoseCombinationsAllHaveZeroFrequencyDropsOut) {
    // Families of known phase, both fathers transmitting (1,1) and keeping
    // back (2,2), carry only alleles 1 and 2 at locus 2.
    const std::vector<std::int32_t> known1 = {1, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1};
    const std::vector<std::int32_t> known2 = {1, 2, 1, 2, 2, 2, 2, 2, 1, 2, 1, 2};
    // Ambiguous at locus 1, and every haplotype of it has allele 3 or 4 at locus 2.
    const std::vector<std::int32_t> partly = {1, 2, 3, 4, 1, 2, 4, 4, 1, 2, 3, 4};
    const Analysed with = analyse(trios({2, 4}, {known1, known2, partly}));
    const Analysed without = analyse(trios({2, 4}, {known1, known2}));
    ASSERT_EQ(with.frequencies.unambiguousFamilyCount, 2);
    EXPECT_GT(at(without.statistics, Statistic::pg), 0.0);
    EXPECT_EQ(at(with.statistics, Statistic::pg), at(without.statistics, Statistic::pg));
    // Under equal weights the family counts, half and half over its two combinations.
    EXPECT_NE(at(with.statistics, Statistic::pe), at(without.statistics, Statistic::pe));
}

// The k of the family-wise reference scale: the haplotypes some parent
// carries once in each statistic's observed counts.
TEST(Statistics, TheHaplotypesInTheSumsAreThoseCarriedOnce) {
    using Counts = std::array<std::int32_t, statisticCount>;
    const auto haplotypes = [](const Analysed& a) { return statistics::countHaplotypesInSums(*a.prepared->model); };
    EXPECT_EQ(haplotypes(analyse(trios({2}, {{1, 2, 1, 2, 1, 1}}))), (Counts{2, 2, 2, 2, 2}));
    // Every family ambiguous: none of known phase, and no counted frequency for Pg.
    EXPECT_EQ(haplotypes(analyse(trios({2}, {{1, 2, 2, 1, 1, 2}, {1, 2, 1, 2, 2, 1}}))), (Counts{0, 0, 2, 2, 2}));
    // A father 1/1 carries 1 twice: only the mother's 2 and 3 are carried once.
    EXPECT_EQ(haplotypes(analyse(trios({3}, {{1, 1, 2, 3, 1, 2}}))), (Counts{2, 2, 2, 2, 2}));
}

}  // namespace
}  // namespace triotdt
