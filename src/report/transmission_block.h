#pragma once

#include <vector>

#include "frequency/transmission_counts.h"
#include "haplotype/indexed_phases.h"
#include "haplotype/window.h"
#include "io/output_unit.h"

namespace triotdt::report {

// A window's block of tdttran.txt: its heading, then the transmitted,
// untransmitted and homozygote counts of the families of known phase and the
// frequencies among their parents, each over every code 1..haplotypeCount of
// the window (the codes that occur in no combination print 0).
void writeTransmissionBlock(io::OutputUnit& unit, const haplotype::Window& window,
                            const haplotype::IndexedPhases& phases, const frequency::CountTables& counts,
                            const std::vector<double>& haplotypeFreq);

}  // namespace triotdt::report
