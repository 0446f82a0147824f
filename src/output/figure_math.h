#pragma once

namespace triotdt::output {

// -log10 p, from the program's own natural logarithm so that the figure
// prints the same digits on every machine; 0 for p of 1 or more (ties count
// one half, so a p-value can reach 1.5).
double minusLog10(double p);

}  // namespace triotdt::output
