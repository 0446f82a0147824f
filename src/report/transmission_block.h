#pragma once

#include "io/output_unit.h"
#include "window/window_result.h"

namespace triotdt::report {

// A window's block of tdttran.txt: its heading, then the transmitted,
// untransmitted and homozygote counts of the families of known phase and the
// frequencies among their parents, each over every code 1..haplotypeCount of
// the window. The counts and frequencies are by index of the result's
// `codes`, the ascending codes that occur; the others print 0. The text is
// made as it is written, so a block of millions of haplotypes takes no
// memory of its own.
void writeTransmissionBlock(io::OutputUnit& unit, const window::WindowResult& result);

}  // namespace triotdt::report
