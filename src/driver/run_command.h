#pragma once

#include "driver/command_line.h"

namespace triotdt::driver {

// Runs what the command line asks for: changes into its folder, then runs the
// analysis with the table, the figure and the progress line it asks for, or
// the import. Returns the exit status. Throws io::RunError and
// io::InputRefused as runAnalysis does, and for the folder, the table,
// the figure and tdtloci.tsv.
int runCommand(const CommandLine& line);

}  // namespace triotdt::driver
