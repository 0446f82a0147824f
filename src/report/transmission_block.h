#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "frequency/transmission_counts.h"
#include "haplotype/window.h"
#include "io/output_unit.h"

namespace triotdt::report {

// A window's block of tdttran.txt: its heading, then the transmitted,
// untransmitted and homozygote counts of the families of known phase and the
// frequencies among their parents, each over every code 1..haplotypeCount of
// the window. The counts and frequencies are by index of `codes`, the
// ascending codes that occur; the others print 0. The text is made as it is
// written, so a block of millions of haplotypes takes no memory of its own.
void writeTransmissionBlock(io::OutputUnit& unit, const haplotype::Window& window, std::span<const std::int32_t> codes,
                            const frequency::CountTables& counts, const std::vector<double>& haplotypeFreq);

}  // namespace triotdt::report
