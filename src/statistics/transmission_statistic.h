#pragma once

namespace triotdt::statistics {

// The statistic behind all five is, over the haplotypes h in code order with
// D(h) = untransmitted + transmitted − 2 × homozygous > 0 (the parents that
// carry h once), the sum of (transmitted − untransmitted)² / D(h). Its term
// is written here once, for one value and for vector lanes of values alike
// (GCC's vector types, where the comparison and the choice go lane by lane;
// taken by reference, as a vector passed by value would change with the
// vector unit). Always inlined, so that each vector kernel has it in code
// of its own unit.

// Adds to `sum` one haplotype's term from its difference transmitted −
// untransmitted and the number D(h) of parents carrying it once: +0.0 when
// D(h) is not positive, which leaves a sum of terms as it was.
template <typename Value>
[[gnu::always_inline]] inline void addTransmissionTerm(Value& sum, const Value& difference, const Value& carriedOnce) {
    sum += carriedOnce > Value{} ? difference * difference / carriedOnce : Value{};
}

// The same from the haplotype's three counts.
template <typename Value>
[[gnu::always_inline]] inline void addTransmissionTerm(Value& sum, const Value& transmitted, const Value& untransmitted,
                                                       const Value& homozygous) {
    addTransmissionTerm(sum, transmitted - untransmitted, (untransmitted + transmitted) - 2.0 * homozygous);
}

}  // namespace triotdt::statistics
