// The frequency sets, the EM and the observed statistics on small trios whose
// numbers can be worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "frequency/em.h"
#include "frequency/frequency_sets.h"
#include "frequency/natural_log.h"
#include "haplotype/haplotype_code.h"
#include "haplotype/indexed_phases.h"
#include "resampling/resample.h"

namespace triotdt {
namespace {

using haplotype::FamilyData;

// Trios given as one line per family: father, mother, child genotypes, each
// 2 × loci alleles.
FamilyData trios(std::vector<std::int32_t> alleleCount, std::vector<std::vector<std::int32_t>> families) {
    FamilyData data;
    data.lociCount = static_cast<std::int32_t>(alleleCount.size());
    data.alleleCount = std::move(alleleCount);
    data.replicateCount = 1;
    const std::size_t columns = 2 * data.alleleCount.size();
    for (const auto& family : families) {
        data.fatherAlleles.append(std::vector<std::int32_t>(family.begin(), family.begin() + columns));
        data.motherAlleles.append(std::vector<std::int32_t>(family.begin() + columns, family.begin() + 2 * columns));
        data.childAlleles.append(std::vector<std::int32_t>(family.begin() + 2 * columns, family.end()));
        ++data.familyCount;
    }
    return data;
}

struct Analysed {
    haplotype::IndexedPhases phases;
    frequency::WindowFrequencies frequencies;
    resampling::FiveStatistics statistics{};
};

// Everything of the window covering all loci.
Analysed analyse(const FamilyData& data) {
    haplotype::Window window;
    window.size = data.lociCount;
    window.alleleCount = data.alleleCount;
    window.haplotypeCount = static_cast<std::int32_t>(haplotype::countHaplotypes(window.alleleCount));
    Analysed a{haplotype::indexPhases(haplotype::phaseFamilies(data, window), window.haplotypeCount), {}};
    a.frequencies = frequency::estimateWindowFrequencies(a.phases);
    a.statistics = resampling::observedStatistics(resampling::buildWindowModel(a.phases, a.frequencies.sets));
    return a;
}

TEST(Statistics, FourParentsTransmittingOneHaplotypeGivePunambEight) {
    // Both parents 1/2, child 1/1, twice: transmitted 1 four times, kept back 2 four times.
    const Analysed a = analyse(trios({2}, {{1, 2, 1, 2, 1, 1}, {2, 1, 1, 2, 1, 1}}));
    EXPECT_EQ(a.frequencies.counts.transmitCount, (std::vector<double>{4, 0}));
    EXPECT_EQ(a.frequencies.counts.untransmitCount, (std::vector<double>{0, 4}));
    EXPECT_EQ(a.statistics[0], 8.0);  // 16/4 + 16/4
}

TEST(Statistics, WithEveryFamilyOfKnownPhaseAllFiveAgree) {
    // Two loci, no family ambiguous, every haplotype of positive frequency.
    const Analysed a = analyse(trios({2, 3}, {{1, 2, 1, 3, 1, 1, 2, 2, 1, 2, 2, 3},
                                             {2, 2, 1, 2, 1, 2, 3, 3, 2, 1, 1, 3},
                                             {1, 1, 2, 3, 2, 1, 1, 2, 1, 2, 3, 1}}));
    ASSERT_EQ(a.frequencies.unambiguousFamilyCount, 3);
    for (std::size_t s = 1; s < 5; ++s) EXPECT_EQ(a.statistics[s], a.statistics[0]) << "statistic " << s;
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
    for (std::size_t s = 0; s < 5; ++s) EXPECT_EQ(with.statistics[s], without.statistics[s]) << "statistic " << s;
}

TEST(Statistics, WithoutFamiliesOfKnownPhaseTheCountedFrequenciesAreZeroAndPgIsZero) {
    // Every family: both parents and the child 1/2, ambiguous.
    const Analysed a = analyse(trios({2}, {{1, 2, 2, 1, 1, 2}, {1, 2, 1, 2, 2, 1}}));
    EXPECT_EQ(a.frequencies.unambiguousFamilyCount, 0);
    EXPECT_EQ(a.frequencies.sets.haplotypeFreq, (std::vector<double>{0, 0}));
    EXPECT_EQ(a.statistics[0], 0.0);
    EXPECT_EQ(a.statistics[1], 0.0);
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
    EXPECT_GT(without.statistics[1], 0.0);
    EXPECT_EQ(with.statistics[1], without.statistics[1]);
    // Under equal weights the family counts, half and half over its two combinations.
    EXPECT_NE(with.statistics[2], without.statistics[2]);
}

TEST(Em, AOneHaplotypeWindowStopsAfterTheFirstIteration) {
    const Analysed a = analyse(trios({1}, {{1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1}}));
    EXPECT_TRUE(a.frequencies.emConverged);
    EXPECT_EQ(a.frequencies.emIterations, 1);
    EXPECT_EQ(a.frequencies.sets.emFreq, (std::vector<double>{1.0}));
    EXPECT_EQ(a.statistics, (resampling::FiveStatistics{}));
}

TEST(Em, NoFamiliesGiveZeroFrequenciesAndZeroStatistics) {
    const Analysed a = analyse(trios({2, 2}, {}));
    EXPECT_TRUE(a.frequencies.emConverged);
    EXPECT_EQ(a.frequencies.emIterations, 1);
    EXPECT_TRUE(a.frequencies.sets.emFreq.empty());
    EXPECT_EQ(a.statistics, (resampling::FiveStatistics{}));
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
