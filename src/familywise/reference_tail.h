#pragma once

#include <cstdint>

namespace triotdt::familywise {

// The reference scale on which the windows of a run are compared for
// family-wise p-values. Window sizes and allele counts differ, so raw
// statistics cannot be compared across windows; each is turned into an
// upper tail under a reference distribution first. For the multi-allelic
// transmission/disequilibrium test, (k − 1)/k × Σ (T − U)² / (T + U − 2H)
// is about χ² with k − 1 degrees of freedom, k the haplotypes that enter the
// sum (Spielman and Ewens 1996). The tail only balances the windows against
// each other: the family-wise p-values come from the replicates.
//
// Tails are kept as their depth, −log10 of the tail: 0 for a tail of 1, 8
// for 10⁻⁸. Depths order windows as their tails do, reversed, and a
// statistic of thousands, whose tail lies far below the smallest double,
// still has one. Every depth is made of additions, multiplications,
// divisions and square roots, which IEEE arithmetic rounds exactly, and the
// program's own logarithm, never the C library's exp, log, lgamma or erfc,
// which differ in the last bit between libraries and processors: every
// machine gives the same bits, so windows tie and fold alike everywhere.

// −log10 of the upper tail of χ² with `degreesOfFreedom` (1 or more) at
// `x`, from the closed forms for whole and half-whole shapes: with y = x/2,
// e^−y Σ_{j<m} y^j / j! for 2m degrees of freedom, and
// erfc(√y) + e^−y Σ_{j=1..m} y^(j−½) / Γ(j + ½) for 2m + 1. Relative error
// below 1e-12 where the depth is above 0.001. 0 for x of 0 or less (and NaN).
double chiSquareTailDepth(double x, std::int32_t degreesOfFreedom);

// A bound on chiSquareTailDepth(x, df) for every df of 1 or more, at least
// 0.01 above it and cheap (a square root): the depth of one degree of
// freedom, the deepest, bounded through erfc(z) > 2e^−z² / (√π (z + √(z² + 2)))
// and ln a ≤ a − 1.
double tailDepthBound(double x);

// The statistic on the reference scale: (k − 1)/k × statistic, with `k` the
// haplotypes that enter the window's observed sum for that statistic.
double referenceValue(double statistic, std::int32_t haplotypes);

// The depth of a window's statistic on the reference scale: that of χ²(k − 1)
// at referenceValue(); 0 (a tail of 1) when k is 1 or less, as a window
// with one haplotype in its sum tests nothing.
double referenceDepth(double statistic, std::int32_t haplotypes);

}  // namespace triotdt::familywise
