// The analysis works on the haplotypes that occur, with both versions of every
// combination and their shares worked out once per window. Here a
// straightforward implementation, over every code of the window and
// recomputing everything per data set, checks that it gives the same numbers
// to the last bit: frequency sets, EM estimate, and all five statistics of
// the observed data and of random replicates.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "frequency/em.h"
#include "frequency/frequency_sets.h"
#include "frequency/natural_log.h"
#include "haplotype/haplotype_code.h"
#include "haplotype/indexed_phases.h"
#include "haplotype/phasing.h"
#include "resampling/resample.h"
#include "support/random_trios.h"
#include "support/test_only.h"
#include "window/prepare_window.h"

namespace triotdt {
namespace {

using haplotype::Combination;

// Tables over every code 1..haplotypeCount (index code − 1).
struct Dense {
    std::vector<double> transmit, untransmit, homo;
    explicit Dense(std::int32_t haplotypeCount)
        : transmit(static_cast<std::size_t>(haplotypeCount)),
          untransmit(static_cast<std::size_t>(haplotypeCount)),
          homo(static_cast<std::size_t>(haplotypeCount)) {}
};

double denseStatistic(const Dense& d) {
    double x = 0.0;
    for (std::size_t h = 0; h < d.transmit.size(); ++h) {
        const double denominator = (d.untransmit[h] + d.transmit[h]) - 2.0 * d.homo[h];
        if (denominator > 0) x += (d.transmit[h] - d.untransmit[h]) * (d.transmit[h] - d.untransmit[h]) / denominator;
    }
    return x;
}

std::size_t at(std::int32_t code) { return static_cast<std::size_t>(code - 1); }

// The (transmitted, untransmitted) haplotypes of the parents that count: the
// father and the mother, or on X the mother alone.
std::vector<std::pair<std::int32_t, std::int32_t>> parentsOf(const Combination& c, bool onX) {
    if (onX) return {{c.motherTransmit, c.motherUntransmit}};
    return {{c.fatherTransmit, c.fatherUntransmit}, {c.motherTransmit, c.motherUntransmit}};
}

// The families' combinations as a replicate sees them: exchanged families
// decoded, traded at their resolved loci, encoded again.
std::vector<std::vector<Combination>> replicateCombinations(const haplotype::FamilyData& data,
                                                            const haplotype::Window& window,
                                                            const haplotype::PhaseTable& phases,
                                                            const std::vector<std::uint8_t>& exchanged) {
    std::vector<std::vector<Combination>> result;
    const auto n = static_cast<std::size_t>(window.size);
    std::vector<std::int32_t> a(n), b(n), c(n), d(n);
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        std::vector<Combination> family = test::combinationsOf(phases, f);
        if (exchanged[static_cast<std::size_t>(f)]) {
            for (Combination& k : family) {
                test::decodeHaplotype(window, k.fatherTransmit, a);
                test::decodeHaplotype(window, k.fatherUntransmit, b);
                test::decodeHaplotype(window, k.motherTransmit, c);
                test::decodeHaplotype(window, k.motherUntransmit, d);
                for (std::size_t j = 0; j < n; ++j) {
                    if (!test::resolvedAt(data, window, phases.inputFamily[static_cast<std::size_t>(f)],
                                          static_cast<std::int32_t>(j)))
                        continue;
                    std::swap(a[j], b[j]);
                    std::swap(c[j], d[j]);
                }
                k = {haplotype::encodeHaplotype(window, a), haplotype::encodeHaplotype(window, b),
                     haplotype::encodeHaplotype(window, c), haplotype::encodeHaplotype(window, d)};
            }
        }
        result.push_back(family);
    }
    return result;
}

double referencePunamb(const std::vector<std::vector<Combination>>& families, std::int32_t haplotypeCount, bool onX) {
    Dense d(haplotypeCount);
    for (const auto& family : families) {
        if (family.size() != 1) continue;
        for (const auto& [t, u] : parentsOf(family[0], onX)) {
            d.transmit[at(t)] += 1;
            d.untransmit[at(u)] += 1;
            if (t == u) d.homo[at(t)] += 1;
        }
    }
    return denseStatistic(d);
}

double referenceWeighted(const std::vector<std::vector<Combination>>& families, const std::vector<double>& freq,
                         std::int32_t haplotypeCount, bool onX) {
    Dense d(haplotypeCount);
    for (const auto& family : families) {
        std::vector<double> weight(family.size());
        double total = 0;
        for (std::size_t k = 0; k < family.size(); ++k) {
            const Combination& c = family[k];
            weight[k] = onX ? freq[at(c.motherTransmit)] * freq[at(c.motherUntransmit)]
                            : freq[at(c.fatherTransmit)] * freq[at(c.fatherUntransmit)] * freq[at(c.motherTransmit)] *
                                  freq[at(c.motherUntransmit)];
            total = total + weight[k];
        }
        if (!(total > 0)) continue;
        for (std::size_t k = 0; k < family.size(); ++k) {
            const double s = weight[k] / total;
            for (const auto& [t, u] : parentsOf(family[k], onX)) {
                d.transmit[at(t)] += s;
                d.untransmit[at(u)] += s;
                if (t == u) d.homo[at(t)] += s;
            }
        }
    }
    return denseStatistic(d);
}

// The probability of a combination: the mating type's, or on X the mother's genotype's.
float referenceMatingProbability(const Combination& c, const std::vector<double>& q, bool onX) {
    float gF = static_cast<float>(q[at(c.fatherUntransmit)] * q[at(c.fatherTransmit)]);
    if (c.fatherUntransmit != c.fatherTransmit) gF = 2 * gF;
    float gM = static_cast<float>(q[at(c.motherUntransmit)] * q[at(c.motherTransmit)]);
    if (c.motherUntransmit != c.motherTransmit) gM = 2 * gM;
    if (onX) return gM;
    float p = gF * gM;
    p = p * 2;
    if ((c.motherTransmit == c.fatherTransmit && c.motherUntransmit == c.fatherUntransmit) ||
        (c.motherUntransmit == c.fatherTransmit && c.motherTransmit == c.fatherUntransmit)) {
        p = p / 2;
    }
    return p;
}

// The EM over every code of the window, clearing every table in full and
// computing every probability afresh.
frequency::EmResult referenceEm(const haplotype::PhaseTable& phases, std::int32_t haplotypeCount) {
    const bool onX = phases.inheritance == haplotype::Inheritance::xLinked;
    const auto size = static_cast<std::size_t>(haplotypeCount);
    frequency::EmResult result;
    result.emFreq.assign(size, 1.0 / haplotypeCount);
    double previous = 0.0;
    for (int iteration = 1; iteration <= frequency::emIterationLimit; ++iteration) {
        result.iterations = iteration;
        std::vector<double> expected(size, 0.0);
        for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
            std::vector<double> share(size, 0.0);
            float total = 0.0f;
            for (const Combination& c : test::combinationsOf(phases, f)) {
                const float p = referenceMatingProbability(c, result.emFreq, onX);
                total += p;
                for (const auto& [t, u] : parentsOf(c, onX)) {
                    share[at(t)] += p;
                    share[at(u)] += p;
                }
            }
            if (!(total > 0)) continue;
            for (std::size_t h = 0; h < size; ++h) expected[h] += share[h] / total;
        }
        const double copies = onX ? 2.0 : 4.0;
        for (std::size_t h = 0; h < size; ++h) result.emFreq[h] = (expected[h] / copies) / phases.familyCount();
        double likelihood = 0.0;
        for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
            float total = 0.0f;
            for (const Combination& c : test::combinationsOf(phases, f))
                total += referenceMatingProbability(c, result.emFreq, onX);
            likelihood += frequency::naturalLog(static_cast<double>(total) + 1.0e-7);
        }
        if (std::fabs(likelihood - previous) <= 0.001) {
            result.converged = true;
            break;
        }
        previous = likelihood;
    }
    return result;
}

// A table by haplotype index, spread over every code (0 where no index is).
std::vector<double> spread(const std::vector<double>& byIndex, const haplotype::IndexedPhases& phases) {
    std::vector<double> byCode(static_cast<std::size_t>(phases.haplotypeCount), 0.0);
    for (std::size_t i = 0; i < byIndex.size(); ++i) byCode[at(phases.codes[i])] = byIndex[i];
    return byCode;
}

std::vector<std::uint8_t> randomExchanges(test::SmallRandom& random, std::int32_t familyCount) {
    std::vector<std::uint8_t> exchanged(static_cast<std::size_t>(familyCount));
    for (auto& e : exchanged) e = static_cast<std::uint8_t>(random.below(2));
    return exchanged;
}

// Compares everything for every window of `data`.
void compareWindows(const haplotype::FamilyData& data, std::uint64_t seed) {
    const bool onX = data.inheritance == haplotype::Inheritance::xLinked;
    test::SmallRandom random{seed};
    for (std::int32_t size = 1; size <= std::min(data.lociCount, 7); ++size) {
        for (std::int32_t start = 1; start + size - 1 <= data.lociCount; ++start) {
            SCOPED_TRACE("window " + std::to_string(start) + "-" + std::to_string(start + size - 1));
            const haplotype::Window window = triotdt::window::makeWindow(data, size, start);
            const haplotype::PhaseTable table = haplotype::phaseFamilies(data, window);
            const haplotype::IndexedPhases phases = haplotype::indexPhases(table, window.codeCount());

            const frequency::WindowFrequencies frequencies = frequency::estimateWindowFrequencies(phases);
            const frequency::FrequencySets& sets = frequencies.sets;

            const frequency::EmResult expectedEm = referenceEm(table, window.haplotypeCount);
            EXPECT_EQ(frequencies.emIterations, expectedEm.iterations);
            EXPECT_EQ(frequencies.emConverged, expectedEm.converged);
            EXPECT_EQ(spread(sets.emFreq, phases), expectedEm.emFreq);

            // The weights over every code: equal frequencies everywhere, the others 0 off the index.
            std::vector<std::vector<double>> dense = {
                spread(sets.haplotypeFreq, phases),
                std::vector<double>(static_cast<std::size_t>(window.haplotypeCount), 1.0 / window.haplotypeCount),
                spread(sets.phaseShareFreq, phases), expectedEm.emFreq};
            const statistics::WindowModel model = statistics::buildWindowModel(phases, sets);
            for (int replicate = 0; replicate <= 12; ++replicate) {
                // Data set 0 is the observed data; the others exchange families at random.
                const std::vector<std::uint8_t> exchanged =
                    replicate == 0 ? std::vector<std::uint8_t>(static_cast<std::size_t>(data.familyCount), 0)
                                   : randomExchanges(random, data.familyCount);
                const auto families = replicateCombinations(data, window, table, exchanged);
                const std::vector<std::uint64_t> bits = test::packExchanges(exchanged);
                const statistics::FiveStatistics actual =
                    statistics::dataSetStatistics(model, exchange::ExchangeBits(bits.data()));
                EXPECT_EQ(at(actual, statistics::Statistic::punamb),
                          referencePunamb(families, window.haplotypeCount, onX))
                    << "Punamb, data set " << replicate;
                for (std::size_t s = 0; s < statistics::weightedSetCount; ++s) {
                    EXPECT_EQ(at(actual, statistics::weightedStatistic[s]),
                              referenceWeighted(families, dense[s], window.haplotypeCount, onX))
                        << "weighted statistic " << s << ", data set " << replicate;
                }
            }
        }
    }
}

TEST(ReferenceComparison, BiallelicLociWithManyAmbiguousFamilies) {
    compareWindows(test::randomTrios(1, 40, {2, 2, 2, 2, 2, 2, 2, 2}), 11);
}

TEST(ReferenceComparison, MultiallelicLoci) { compareWindows(test::randomTrios(2, 30, {3, 4, 2, 5, 3, 2, 4}), 12); }

TEST(ReferenceComparison, FewFamilies) {
    compareWindows(test::randomTrios(3, 3, {2, 3, 2}), 13);
    compareWindows(test::randomTrios(4, 1, {2, 2, 2, 2}), 14);
}

// On X, mothers alone: sons, daughters with and without their fathers.
TEST(ReferenceComparison, XLinkedMothersOnly) {
    compareWindows(test::randomXTrios(5, 40, {2, 2, 2, 2, 2, 2, 2, 2}), 15);
    compareWindows(test::randomXTrios(6, 25, {3, 2, 4, 2, 3}), 16);
}

TEST(ReferenceComparison, ManySeeds) {
    for (std::uint64_t seed = 100; seed < 120; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        compareWindows(test::randomTrios(seed, 12, {2, 3, 2, 2}), seed);
    }
}

}  // namespace
}  // namespace triotdt
