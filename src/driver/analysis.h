#pragma once

#include <string>

namespace triotdt::driver {

// Runs the whole analysis in the working folder: opens tdtinput.dat and the
// two new reports, reads the families, analyses every window of 1 to 7
// consecutive loci and writes the reports and the console lines. Throws
// report::RunError for file and input errors and report::InputRefused for
// input the analysis cannot use.
void runAnalysis();

// The program: runs the analysis and turns failures into a message on
// standard error and exit status 1. Returns the exit status.
int runProgram(int argc, char** argv);

}  // namespace triotdt::driver
