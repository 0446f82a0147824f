#include "frequency/em.h"

#include <cmath>

namespace triotdt::frequency {
namespace {

constexpr double emTolerance = 0.001;
constexpr double likelihoodGuard = 1.0e-7;

double at(const std::vector<double>& table, std::int32_t code) { return table[static_cast<std::size_t>(code - 1)]; }

// The sum, in single precision and in combination order, of the family's
// combination probabilities.
float familyProbability(const haplotype::PhaseTable& phases, std::int32_t f, const std::vector<double>& freq) {
    float total = 0.0f;
    for (const haplotype::Combination& c : phases.combinationsOf(f)) total += matingTypeProbability(c, freq);
    return total;
}

double logLikelihood(const haplotype::PhaseTable& phases, const std::vector<double>& freq) {
    double sum = 0.0;
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        sum += std::log(static_cast<double>(familyProbability(phases, f, freq)) + likelihoodGuard);
    }
    return sum;
}

}  // namespace

float matingTypeProbability(const haplotype::Combination& c, const std::vector<double>& freq) {
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

EmResult estimateHaplotypeFrequencies(const haplotype::PhaseTable& phases, std::int32_t haplotypeCount) {
    const auto size = static_cast<std::size_t>(haplotypeCount);
    const std::int32_t familyCount = phases.familyCount();
    EmResult result;
    result.emFreq.assign(size, 1.0 / haplotypeCount);
    std::vector<double> expectedCount(size);
    std::vector<double> familyShare(size, 0.0);
    double previousLogLikelihood = 0.0;

    for (int iteration = 1; iteration <= emIterationLimit; ++iteration) {
        result.iterations = iteration;
        std::fill(expectedCount.begin(), expectedCount.end(), 0.0);
        for (std::int32_t f = 0; f < familyCount; ++f) {
            const auto combinations = phases.combinationsOf(f);
            // Only the family's own codes are ever non-zero in its share.
            for (const haplotype::Combination& c : combinations) {
                for (const std::int32_t code : {c.fatherTransmit, c.fatherUntransmit, c.motherTransmit, c.motherUntransmit}) {
                    familyShare[static_cast<std::size_t>(code - 1)] = 0.0;
                }
            }
            float probability = 0.0f;
            for (const haplotype::Combination& c : combinations) {
                const float p = matingTypeProbability(c, result.emFreq);
                probability += p;
                familyShare[static_cast<std::size_t>(c.fatherTransmit - 1)] += p;
                familyShare[static_cast<std::size_t>(c.fatherUntransmit - 1)] += p;
                familyShare[static_cast<std::size_t>(c.motherTransmit - 1)] += p;
                familyShare[static_cast<std::size_t>(c.motherUntransmit - 1)] += p;
            }
            if (!(probability > 0)) continue;
            // Each code's share is divided and added once, however often it occurs.
            for (const haplotype::Combination& c : combinations) {
                for (const std::int32_t code : {c.fatherTransmit, c.fatherUntransmit, c.motherTransmit, c.motherUntransmit}) {
                    double& share = familyShare[static_cast<std::size_t>(code - 1)];
                    if (share < 0) continue;
                    expectedCount[static_cast<std::size_t>(code - 1)] += share / static_cast<double>(probability);
                    share = -1.0;
                }
            }
        }
        for (std::size_t h = 0; h < size; ++h) {
            result.emFreq[h] = familyCount == 0 ? 0.0 : (expectedCount[h] / 4.0) / familyCount;
        }
        const double likelihood = logLikelihood(phases, result.emFreq);
        if (std::fabs(likelihood - previousLogLikelihood) <= emTolerance) {
            result.converged = true;
            break;
        }
        previousLogLikelihood = likelihood;
    }
    return result;
}

}  // namespace triotdt::frequency
