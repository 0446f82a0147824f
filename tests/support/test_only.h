#pragma once

// Helpers that only the tests need: the way back from a haplotype code to
// its alleles, a family's combinations as a list, whether a family's phase
// is resolved at a locus, and exchange bits from one flag per family.

#include <cstdint>
#include <span>
#include <vector>

#include "haplotype/phasing.h"
#include "haplotype/window.h"
#include "statistics/exchange_bits.h"

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

inline bool resolvedAt(const haplotype::PhaseTable& table, std::int32_t f, std::int32_t k) {
    return table.phaseChoices[static_cast<std::size_t>(f) * static_cast<std::size_t>(table.windowSize) +
                              static_cast<std::size_t>(k)] == 1;
}

// The exchange bits of one flag per family (non-zero: exchanged).
inline std::vector<std::uint64_t> packVersions(std::span<const std::uint8_t> exchanged) {
    using statistics::ExchangeBits;
    std::vector<std::uint64_t> words(ExchangeBits::wordsFor(exchanged.size()), 0);
    for (std::size_t f = 0; f < exchanged.size(); ++f) ExchangeBits::set(words.data(), f, exchanged[f] != 0);
    return words;
}

}  // namespace triotdt::test
