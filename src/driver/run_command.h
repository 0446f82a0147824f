#pragma once

#include "driver/command_line.h"

namespace triotdt::driver {

// Runs what the command line asks for: changes into its folder, then runs the
// analysis with the table, the figure and the progress line it asks for.
// Throws report::RunError and report::InputRefused as runAnalysis does, and
// for the folder, the table, the figure and tdtloci.tsv.
void runCommand(const CommandLine& line);

// The number of windows of an input of `lociCount` loci: every run of 1 to 7
// consecutive loci.
std::int64_t countWindows(std::int32_t lociCount);

}  // namespace triotdt::driver
