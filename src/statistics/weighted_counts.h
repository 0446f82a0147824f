#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "frequency/frequency_sets.h"
#include "frequency/transmission_counts.h"
#include "haplotype/phasing.h"

namespace triotdt::statistics {

// Fills the count tables from every family, each phase combination weighted
// by the product of its four haplotype frequencies under `freq`, normalised
// per family so that every parent adds 1 to each side. A family whose weights
// sum to 0 adds nothing. `phaseWeight` is a work buffer.
void weightedTransmissionCounts(const haplotype::PhaseTable& phases, const std::vector<double>& freq,
                                std::int32_t haplotypeCount, frequency::CountTables& counts,
                                std::vector<double>& phaseWeight);

// Pg, Pe, Pc and Pem: the statistic of the counts weighted by haplotypeFreq,
// equalFreq, phaseShareFreq and emFreq, in that order.
std::array<double, 4> weightedStatistics(const haplotype::PhaseTable& phases, const frequency::FrequencySets& sets,
                                         std::int32_t haplotypeCount, frequency::CountTables& counts,
                                         std::vector<double>& phaseWeight);

}  // namespace triotdt::statistics
