#include "driver/analysis.h"

int main(int argc, char** argv) { return triotdt::driver::runProgram(argc, argv); }
