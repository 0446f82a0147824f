#pragma once

#include <cstdint>
#include <vector>

#include "haplotype/indexed_phases.h"

namespace triotdt::frequency {

// The EM estimate of the haplotype frequencies from all families, over their
// observed phase combinations. It starts from equal frequencies and stops when
// the log-likelihood moves by 0.001 or less, or after 200 iterations.
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
float matingTypeProbability(const haplotype::Combination& c, const std::vector<double>& freq);

}  // namespace triotdt::frequency
