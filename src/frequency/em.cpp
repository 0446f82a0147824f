#include "frequency/em.h"

#include "frequency/natural_log.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace triotdt::frequency {
namespace {

using haplotype::Combination;
using haplotype::IndexedPhases;

constexpr double emTolerance = 0.001;
constexpr double likelihoodGuard = 1.0e-7;

// Each pattern's distinct haplotypes, and for each of its combinations the
// positions of its four haplotypes among them, so that the E-step works on a
// short list per family instead of a table of every haplotype. Families of
// one pattern have the same probabilities and the same shares, so these are
// worked out once per pattern; only the additions into the expected counts
// and the log-likelihood are made family by family, in family order.
struct PatternHaplotypes {
    std::vector<std::int32_t> haplotypes;             // all patterns, one after the other
    std::vector<std::size_t> firstHaplotype;          // per pattern, and one past the last
    std::vector<std::size_t> firstCombination;        // per pattern, and one past the last
    std::vector<Combination> combinations;            // the observed ones of every pattern
    std::vector<std::array<std::uint16_t, 4>> slots;  // per combination: FT, FU, MT, MU (on X: MT, MU)
};

// What the EM counts in a combination: both parents' haplotypes under the
// probability of their mating type, or on X the mother's two under the
// probability of her genotype (the father's X says nothing of hers).
struct BothParents {
    static constexpr std::size_t copies = 4;
    static float probability(const Combination& c, const double* freq) { return matingTypeProbability(c, freq); }
};
struct MotherOnX {
    static constexpr std::size_t copies = 2;
    static float probability(const Combination& c, const double* freq) { return motherGenotypeProbability(c, freq); }
};

PatternHaplotypes listPatternHaplotypes(const IndexedPhases& phases) {
    PatternHaplotypes list;
    list.firstHaplotype.push_back(0);
    list.firstCombination.push_back(0);
    // The slot of each haplotype within the pattern being listed, valid
    // where `listedFor` holds that pattern.
    std::vector<std::int32_t> listedFor(phases.indexCount(), -1);
    std::vector<std::uint16_t> slotOf(phases.indexCount(), 0);
    for (std::int32_t pattern = 0; pattern < phases.patternCount(); ++pattern) {
        const std::size_t first = list.haplotypes.size();
        const auto slot = [&](std::int32_t index) {
            const auto i = static_cast<std::size_t>(index);
            if (listedFor[i] != pattern) {
                listedFor[i] = pattern;
                slotOf[i] = static_cast<std::uint16_t>(list.haplotypes.size() - first);
                list.haplotypes.push_back(index);
            }
            return slotOf[i];
        };
        for (const Combination& c : phases.observedOf(phases.patternFamily[static_cast<std::size_t>(pattern)])) {
            list.combinations.push_back(c);
            std::array<std::uint16_t, 4> slots{};
            std::size_t j = 0;
            for (const haplotype::ParentPart& part : haplotype::transmittingParts(c, phases.inheritance)) {
                slots[j++] = slot(part.transmitted);
                slots[j++] = slot(part.untransmitted);
            }
            list.slots.push_back(slots);
        }
        list.firstHaplotype.push_back(list.haplotypes.size());
        list.firstCombination.push_back(list.combinations.size());
    }
    return list;
}

// Working values of one iteration, per pattern.
struct PatternValues {
    std::vector<float> probability;      // per combination
    std::vector<float> total;            // per pattern: the family probability
    std::vector<double> logProbability;  // per pattern
    std::vector<double> share;           // per listed haplotype: its copies over the family probability
};

// Every combination's probability under `freq`, each pattern's total of them
// in single precision and combination order, and its log; returns the
// log-likelihood, summed family by family.
template <class Model>
double computeProbabilities(const IndexedPhases& phases, const PatternHaplotypes& list, const double* freq,
                            PatternValues& values) {
    for (std::size_t pattern = 0; pattern + 1 < list.firstCombination.size(); ++pattern) {
        float total = 0.0f;
        for (std::size_t k = list.firstCombination[pattern]; k < list.firstCombination[pattern + 1]; ++k) {
            values.probability[k] = Model::probability(list.combinations[k], freq);
            total += values.probability[k];
        }
        values.total[pattern] = total;
        values.logProbability[pattern] = naturalLog(static_cast<double>(total) + likelihoodGuard);
    }
    double logLikelihood = 0.0;
    for (const std::int32_t pattern : phases.patternOf) {
        logLikelihood += values.logProbability[static_cast<std::size_t>(pattern)];
    }
    return logLikelihood;
}

// The E-step: each family with a positive probability adds its four haplotype
// copies (on X two) to the expected counts, split over its combinations in
// proportion to their probabilities.
template <class Model>
void expectCounts(const IndexedPhases& phases, const PatternHaplotypes& list, PatternValues& values,
                  std::vector<double>& expectedCount) {
    for (std::size_t pattern = 0; pattern + 1 < list.firstCombination.size(); ++pattern) {
        const float total = values.total[pattern];
        if (!(total > 0)) continue;
        // With one combination each haplotype gets (n × p) / p = n copies,
        // exactly (n ≤ 4 and p single precision, so n × p is a double), the
        // same in every iteration: set once, by the caller.
        if (list.firstCombination[pattern + 1] - list.firstCombination[pattern] == 1) continue;
        double* const share = values.share.data() + list.firstHaplotype[pattern];
        const std::size_t count = list.firstHaplotype[pattern + 1] - list.firstHaplotype[pattern];
        std::fill(share, share + count, 0.0);
        for (std::size_t k = list.firstCombination[pattern]; k < list.firstCombination[pattern + 1]; ++k) {
            const float p = values.probability[k];
            for (std::size_t j = 0; j < Model::copies; ++j) share[list.slots[k][j]] += p;
        }
        for (std::size_t j = 0; j < count; ++j) share[j] = share[j] / static_cast<double>(total);
    }
    std::fill(expectedCount.begin(), expectedCount.end(), 0.0);
    for (const std::int32_t p : phases.patternOf) {
        const auto pattern = static_cast<std::size_t>(p);
        if (!(values.total[pattern] > 0)) continue;
        for (std::size_t j = list.firstHaplotype[pattern]; j < list.firstHaplotype[pattern + 1]; ++j) {
            expectedCount[static_cast<std::size_t>(list.haplotypes[j])] += values.share[j];
        }
    }
}

template <class Model>
EmResult estimate(const IndexedPhases& phases) {
    const std::int32_t familyCount = phases.familyCount();
    const PatternHaplotypes list = listPatternHaplotypes(phases);
    std::vector<double> expectedCount(phases.indexCount());
    PatternValues values;
    values.probability.resize(list.combinations.size());
    values.total.resize(static_cast<std::size_t>(phases.patternCount()));
    values.logProbability.resize(static_cast<std::size_t>(phases.patternCount()));
    values.share.resize(list.haplotypes.size());
    for (std::size_t pattern = 0; pattern + 1 < list.firstCombination.size(); ++pattern) {
        const std::size_t k = list.firstCombination[pattern];
        if (list.firstCombination[pattern + 1] - k != 1) continue;
        for (std::size_t j = 0; j < Model::copies; ++j)
            values.share[list.firstHaplotype[pattern] + list.slots[k][j]] += 1.0;
    }

    EmResult result;
    result.emFreq.assign(phases.indexCount(), 1.0 / phases.haplotypeCount);
    // The probabilities behind one iteration's log-likelihood are those the
    // next iteration's E-step needs: each set is computed once.
    computeProbabilities<Model>(phases, list, result.emFreq.data(), values);
    double previousLogLikelihood = 0.0;
    for (int iteration = 1; iteration <= emIterationLimit; ++iteration) {
        result.iterations = iteration;
        expectCounts<Model>(phases, list, values, expectedCount);
        for (std::size_t h = 0; h < expectedCount.size(); ++h) {
            result.emFreq[h] =
                familyCount == 0 ? 0.0 : (expectedCount[h] / static_cast<double>(Model::copies)) / familyCount;
        }
        const double logLikelihood = computeProbabilities<Model>(phases, list, result.emFreq.data(), values);
        if (std::fabs(logLikelihood - previousLogLikelihood) <= emTolerance) {
            result.converged = true;
            break;
        }
        previousLogLikelihood = logLikelihood;
    }
    return result;
}

}  // namespace

EmResult estimateHaplotypeFrequencies(const IndexedPhases& phases) {
    return phases.inheritance == haplotype::Inheritance::xLinked ? estimate<MotherOnX>(phases)
                                                                 : estimate<BothParents>(phases);
}

}  // namespace triotdt::frequency
