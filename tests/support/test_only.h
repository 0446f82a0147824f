#pragma once

// Helpers that only the tests need: the way back from a haplotype code to
// its alleles, a family's combinations as a list, whether a family's phase
// is resolved at a locus, and exchange bits from one flag per family.

#include <cstdint>
#include <span>
#include <vector>

#include "exchange/exchange_bits.h"
#include "haplotype/phasing.h"
#include "haplotype/window.h"

namespace triotdt::test {

// The alleles of haplotype `code` of `window`, the last locus varying fastest.
inline void decodeHaplotype(const haplotype::Window& window, std::int32_t code, std::span<std::int32_t> alleles) {
    const std::size_t n = static_cast<std::size_t>(window.size);
    std::int32_t rest = code - 1;
    for (std::size_t k = n; k-- > 0;) {
        alleles[k] = rest % window.alleleCount[k] + 1;
        rest /= window.alleleCount[k];
    }
}

inline std::vector<haplotype::Combination> combinationsOf(const haplotype::PhaseTable& table, std::int32_t f) {
    const auto i = static_cast<std::size_t>(f);
    return {table.combinations.begin() + static_cast<std::ptrdiff_t>(table.firstCombination[i]),
            table.combinations.begin() + static_cast<std::ptrdiff_t>(table.firstCombination[i + 1])};
}

// Whether input family f's phase is resolved at locus k (0-based) of
// `window`, as phasing decides it (on X, the mother's).
inline bool resolvedAt(const haplotype::FamilyData& data, const haplotype::Window& window, std::int32_t f,
                       std::int32_t k) {
    using haplotype::Person;
    const std::int32_t l = window.start - 1 + k;
    const auto allele = [&](Person person, int which) { return data.allele(person, f, l, which); };
    const std::int32_t f1 = allele(Person::father, 0), f2 = allele(Person::father, 1);
    const std::int32_t m1 = allele(Person::mother, 0), m2 = allele(Person::mother, 1);
    const std::int32_t c1 = allele(Person::child, 0), c2 = allele(Person::child, 1);
    const auto phase =
        data.inheritance == haplotype::Inheritance::xLinked
            ? haplotype::phaseMaternalLocus(data.childSex[static_cast<std::size_t>(f)], f1, f2, m1, m2, c1, c2)
            : haplotype::phaseLocus(f1, f2, m1, m2, c1, c2);
    return !phase.value_or(haplotype::LocusPhase{}).ambiguous;
}

// The exchange bits of one flag per family (non-zero: exchanged).
inline std::vector<std::uint64_t> packExchanges(std::span<const std::uint8_t> exchanged) {
    using exchange::ExchangeBits;
    std::vector<std::uint64_t> words(ExchangeBits::wordsFor(exchanged.size()), 0);
    for (std::size_t f = 0; f < exchanged.size(); ++f) ExchangeBits::set(words.data(), f, exchanged[f] != 0);
    return words;
}

}  // namespace triotdt::test
