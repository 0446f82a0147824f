#pragma once

#include <cstdint>
#include <vector>

#include "haplotype/indexed_phases.h"

namespace triotdt::frequency {

// Per-haplotype counts of one window, by haplotype index: how often each
// haplotype was transmitted by a parent, how often it was a parent's
// untransmitted haplotype, and how many parents carry it twice.
struct CountTables {
    std::vector<double> transmitCount;
    std::vector<double> untransmitCount;
    std::vector<double> homoCount;
};

// Counts the observed transmissions of the families of known phase (one phase
// combination), one per parent; returns how many such families there are.
std::int32_t countTransmissions(const haplotype::IndexedPhases& phases, CountTables& counts);

// The statistic behind all five is, over the haplotypes h in code order with
// D(h) = untransmitted + transmitted − 2 × homozygous > 0 (the parents that
// carry h once), the sum of (transmitted − untransmitted)² / D(h). This is
// one haplotype's term of it (0 when D(h) is not positive).
inline double transmissionStatisticTerm(double transmitted, double untransmitted, double homozygous) {
    const double d = (untransmitted + transmitted) - 2.0 * homozygous;
    return d > 0 ? (transmitted - untransmitted) * (transmitted - untransmitted) / d : 0.0;
}

}  // namespace triotdt::frequency
