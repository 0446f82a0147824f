#pragma once

namespace triotdt::frequency {

// The natural logarithm, from additions, multiplications and divisions alone
// (error below one unit in the last place). The C library picks a different
// routine on different processors (with or without fused multiply-add), which
// may differ in the last bit; this one gives the same bits everywhere, so the
// EM stops after the same iteration on every machine.
double naturalLog(double x);

}  // namespace triotdt::frequency
