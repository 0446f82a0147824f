#pragma once

#include <cstdint>
#include <vector>

#include "haplotype/phasing.h"

namespace triotdt::frequency {

// The EM estimate of the haplotype frequencies from all families, over their
// phase combinations. It starts from equal frequencies and stops when the
// log-likelihood moves by 0.001 or less, or after 200 iterations.
struct EmResult {
    std::vector<double> emFreq;  // indexed by code − 1
    int iterations = 0;
    bool converged = false;
};

constexpr int emIterationLimit = 200;

EmResult estimateHaplotypeFrequencies(const haplotype::PhaseTable& phases, std::int32_t haplotypeCount);

// The probability of one phase combination (the parents' genotypes under
// Hardy-Weinberg proportions, times 2 for the mating type unless both parents
// have the same pair of haplotypes), in single precision.
float matingTypeProbability(const haplotype::Combination& c, const std::vector<double>& freq);

}  // namespace triotdt::frequency
