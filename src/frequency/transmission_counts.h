#pragma once

#include <cstdint>
#include <vector>

#include "haplotype/phasing.h"

namespace triotdt::frequency {

// Per-haplotype counts of one window, indexed by haplotype code − 1:
// how often each haplotype was transmitted by a parent, how often it was a
// parent's untransmitted haplotype, and how many parents carry it twice.
struct CountTables {
    std::vector<double> transmitCount;
    std::vector<double> untransmitCount;
    std::vector<double> homoCount;

    // Sets all three tables to `haplotypeCount` zeros.
    void clear(std::int32_t haplotypeCount);
};

// Counts the transmissions of the families of known phase (one phase
// combination), one per parent; returns how many such families there are.
std::int32_t countTransmissions(const haplotype::PhaseTable& phases, std::int32_t haplotypeCount,
                                CountTables& counts);

// The statistic behind all five: over the haplotypes h, in code order, with
// D(h) = untransmitted + transmitted − 2 × homozygous > 0 (the parents that
// carry h once), the sum of (transmitted − untransmitted)² / D(h).
double transmissionStatistic(const CountTables& counts);

}  // namespace triotdt::frequency
