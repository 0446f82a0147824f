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
// combination), one per parent (on X, per mother); returns how many such
// families there are.
std::int32_t countTransmissions(const haplotype::IndexedPhases& phases, CountTables& counts);

}  // namespace triotdt::frequency
