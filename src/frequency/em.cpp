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

double at(const std::vector<double>& table, std::int32_t index) { return table[static_cast<std::size_t>(index)]; }

// Each family's distinct haplotypes, and for each of its combinations the
// positions of its four haplotypes among them, so that the E-step works on a
// short list per family instead of a table of every haplotype.
struct FamilyHaplotypes {
    std::vector<std::int32_t> haplotypes;            // all families, one after the other
    std::vector<std::size_t> firstHaplotype;         // per family, and one past the last
    std::vector<std::array<std::uint16_t, 4>> slots;  // per combination: FT, FU, MT, MU
};

FamilyHaplotypes listFamilyHaplotypes(const IndexedPhases& phases) {
    FamilyHaplotypes list;
    list.firstHaplotype.push_back(0);
    list.slots.reserve(phases.combinationCount());
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const std::size_t first = list.haplotypes.size();
        const auto slotOf = [&](std::int32_t index) {
            for (std::size_t j = first; j < list.haplotypes.size(); ++j) {
                if (list.haplotypes[j] == index) return static_cast<std::uint16_t>(j - first);
            }
            list.haplotypes.push_back(index);
            return static_cast<std::uint16_t>(list.haplotypes.size() - 1 - first);
        };
        for (const Combination& c : phases.observedOf(f)) {
            list.slots.push_back(
                {slotOf(c.fatherTransmit), slotOf(c.fatherUntransmit), slotOf(c.motherTransmit), slotOf(c.motherUntransmit)});
        }
        list.firstHaplotype.push_back(list.haplotypes.size());
    }
    return list;
}

// Every combination's probability under `freq`, each family's total of them
// in single precision and combination order, and the log-likelihood.
double computeProbabilities(const IndexedPhases& phases, const std::vector<double>& freq,
                            std::vector<float>& probability, std::vector<float>& familyProbability) {
    double logLikelihood = 0.0;
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const std::size_t first = phases.firstCombination[static_cast<std::size_t>(f)];
        float total = 0.0f;
        const auto combinations = phases.observedOf(f);
        for (std::size_t k = 0; k < combinations.size(); ++k) {
            probability[first + k] = matingTypeProbability(combinations[k], freq);
            total += probability[first + k];
        }
        familyProbability[static_cast<std::size_t>(f)] = total;
        logLikelihood += naturalLog(static_cast<double>(total) + likelihoodGuard);
    }
    return logLikelihood;
}

// The E-step: each family with a positive probability adds its four haplotype
// copies to the expected counts, split over its combinations in proportion to
// their probabilities.
void expectCounts(const IndexedPhases& phases, const FamilyHaplotypes& list, const std::vector<float>& probability,
                  const std::vector<float>& familyProbability, std::vector<double>& expectedCount,
                  std::vector<double>& familyShare) {
    std::fill(expectedCount.begin(), expectedCount.end(), 0.0);
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const float total = familyProbability[static_cast<std::size_t>(f)];
        if (!(total > 0)) continue;
        const std::size_t firstHaplotype = list.firstHaplotype[static_cast<std::size_t>(f)];
        const std::size_t haplotypeCount = list.firstHaplotype[static_cast<std::size_t>(f) + 1] - firstHaplotype;
        std::fill(familyShare.begin(), familyShare.begin() + static_cast<std::ptrdiff_t>(haplotypeCount), 0.0);
        const std::size_t first = phases.firstCombination[static_cast<std::size_t>(f)];
        const std::size_t last = phases.firstCombination[static_cast<std::size_t>(f) + 1];
        for (std::size_t k = first; k < last; ++k) {
            const float p = probability[k];
            for (const std::uint16_t slot : list.slots[k]) familyShare[slot] += p;
        }
        for (std::size_t j = 0; j < haplotypeCount; ++j) {
            expectedCount[static_cast<std::size_t>(list.haplotypes[firstHaplotype + j])] +=
                familyShare[j] / static_cast<double>(total);
        }
    }
}

}  // namespace

float matingTypeProbability(const Combination& c, const std::vector<double>& freq) {
    float father = static_cast<float>(at(freq, c.fatherUntransmit) * at(freq, c.fatherTransmit));
    if (c.fatherUntransmit != c.fatherTransmit) father = 2.0f * father;
    float mother = static_cast<float>(at(freq, c.motherUntransmit) * at(freq, c.motherTransmit));
    if (c.motherUntransmit != c.motherTransmit) mother = 2.0f * mother;
    float p = father * mother;
    p = p * 2.0f;
    const bool samePair = (c.motherTransmit == c.fatherTransmit && c.motherUntransmit == c.fatherUntransmit) ||
                          (c.motherUntransmit == c.fatherTransmit && c.motherTransmit == c.fatherUntransmit);
    if (samePair) p = p / 2.0f;
    return p;
}

EmResult estimateHaplotypeFrequencies(const IndexedPhases& phases) {
    const std::int32_t familyCount = phases.familyCount();
    const FamilyHaplotypes list = listFamilyHaplotypes(phases);
    std::size_t largestFamily = 0;
    for (std::size_t f = 0; f + 1 < list.firstHaplotype.size(); ++f) {
        largestFamily = std::max(largestFamily, list.firstHaplotype[f + 1] - list.firstHaplotype[f]);
    }
    std::vector<double> expectedCount(phases.indexCount());
    std::vector<double> familyShare(largestFamily);
    std::vector<float> probability(phases.combinationCount());
    std::vector<float> familyProbability(static_cast<std::size_t>(familyCount));

    EmResult result;
    result.emFreq.assign(phases.indexCount(), 1.0 / phases.haplotypeCount);
    // The probabilities behind one iteration's log-likelihood are those the
    // next iteration's E-step needs: each set is computed once.
    computeProbabilities(phases, result.emFreq, probability, familyProbability);
    double previousLogLikelihood = 0.0;
    for (int iteration = 1; iteration <= emIterationLimit; ++iteration) {
        result.iterations = iteration;
        expectCounts(phases, list, probability, familyProbability, expectedCount, familyShare);
        for (std::size_t h = 0; h < expectedCount.size(); ++h) {
            result.emFreq[h] = familyCount == 0 ? 0.0 : (expectedCount[h] / 4.0) / familyCount;
        }
        const double logLikelihood = computeProbabilities(phases, result.emFreq, probability, familyProbability);
        if (std::fabs(logLikelihood - previousLogLikelihood) <= emTolerance) {
            result.converged = true;
            break;
        }
        previousLogLikelihood = logLikelihood;
    }
    return result;
}

}  // namespace triotdt::frequency
