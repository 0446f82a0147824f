#pragma once

#include <array>
#include <cstdint>

#include "frequency/frequency_sets.h"
#include "haplotype/phasing.h"
#include "haplotype/window.h"
#include "resampling/uniform_random.h"

namespace triotdt::resampling {

// The five statistics of a window in the order Punamb, Pg, Pe, Pc, Pem.
using FiveStatistics = std::array<double, 5>;

// A replicate statistic within this distance of the observed one is a tie.
// It is the single-precision number nearest to 1.0E-6, used as a double.
constexpr double tieTolerance = 9.999999974752427e-07;

// How much one replicate adds to the count behind a p-value: one half for a
// tie (either side), otherwise one when it is greater than the observed value.
double exceedanceScore(double replicate, double observed);

// The five statistics of the data as the phase table stands.
FiveStatistics windowStatistics(const haplotype::PhaseTable& phases, const frequency::FrequencySets& sets,
                                std::int32_t haplotypeCount);

// Resamples the window `replicateCount` times: in each replicate every family,
// in order, draws one value and, when it is 0.5 or less, has both parents'
// transmitted and untransmitted alleles exchanged at every locus where its
// phase is resolved. The frequency sets stay those of the observed data.
// Returns the p-values of the five statistics.
FiveStatistics resampleWindow(const haplotype::Window& window, const haplotype::PhaseTable& phases,
                              const frequency::FrequencySets& sets, const FiveStatistics& observed,
                              std::int32_t replicateCount, UniformRandom& generator, std::int32_t& seed);

// Uses up the draws a window of `familyCount` families would have made, so
// that the windows after a skipped one get the values they would otherwise get.
void skipWindowDraws(std::int32_t familyCount, std::int32_t replicateCount, UniformRandom& generator,
                     std::int32_t& seed);

}  // namespace triotdt::resampling
