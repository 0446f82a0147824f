#pragma once

#include <cstdint>
#include <vector>

#include "haplotype/indexed_phases.h"

namespace triotdt::frequency {

// The EM estimate of the haplotype frequencies from all families, over their
// observed phase combinations (on X, over the mothers' haplotypes only). It
// starts from equal frequencies and stops when the log-likelihood moves by
// 0.001 or less, or after 200 iterations.
struct EmResult {
    std::vector<double> emFreq;  // by haplotype index
    int iterations = 0;
    bool converged = false;
};

constexpr int emIterationLimit = 200;

EmResult estimateHaplotypeFrequencies(const haplotype::IndexedPhases& phases);

// The probability of one phase combination: each parent's genotype under
// Hardy-Weinberg proportions, times 2 for the mating type unless both parents
// have the same pair of haplotypes. Each product is rounded to single
// precision as it is formed.
inline float matingTypeProbability(const haplotype::Combination& c, const double* freq) {
    float father = static_cast<float>(freq[c.fatherUntransmit] * freq[c.fatherTransmit]);
    if (c.fatherUntransmit != c.fatherTransmit) father = 2.0f * father;
    float mother = static_cast<float>(freq[c.motherUntransmit] * freq[c.motherTransmit]);
    if (c.motherUntransmit != c.motherTransmit) mother = 2.0f * mother;
    float p = father * mother;
    p = p * 2.0f;
    const bool samePair = (c.motherTransmit == c.fatherTransmit && c.motherUntransmit == c.fatherUntransmit) ||
                          (c.motherUntransmit == c.fatherTransmit && c.motherTransmit == c.fatherUntransmit);
    if (samePair) p = p / 2.0f;
    return p;
}

// On X a combination says nothing of the father: its probability is the
// mother's genotype under Hardy-Weinberg proportions, rounded likewise.
inline float motherGenotypeProbability(const haplotype::Combination& c, const double* freq) {
    float mother = static_cast<float>(freq[c.motherUntransmit] * freq[c.motherTransmit]);
    if (c.motherUntransmit != c.motherTransmit) mother = 2.0f * mother;
    return mother;
}

}  // namespace triotdt::frequency
