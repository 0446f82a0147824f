#pragma once

#include <cstdint>

namespace triotdt::output {

// The figure's numbers come from additions, multiplications, divisions,
// square roots (all rounded exactly by IEEE arithmetic) and the program's
// own natural logarithm, never from the C library's log, exp or pow, which
// may differ in the last bit from one processor to another: the figure and
// the inflation factor print the same digits on every machine.

// -log10 p; 0 for p of 1 or more (ties count one half, so a p-value can
// reach 1.5).
double minusLog10(double p);

// The chi-square value of one degree of freedom whose upper tail is `p`
// (0 for p of 1 or more), from Acklam's rational approximation of the normal
// quantile (relative error below 1.2e-9). `p` must be above 0.
double chiSquareOfP(double p);

// The median of the chi-square distribution of one degree of freedom.
inline constexpr double chiSquareMedian = 0.45493642311957283;

// The value below which the i-th smallest of n independent uniform
// p-values lies with probability q: the q-quantile of Beta(i, n + 1 - i).
// Exact (by the binomial sum) for the 200 smallest, where a QQ plot's band
// matters; a normal approximation beyond, where the band is a sliver.
double uniformOrderQuantile(std::int64_t i, std::int64_t n, double q);

}  // namespace triotdt::output
