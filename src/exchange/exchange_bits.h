#pragma once

#include <cstddef>
#include <cstdint>

namespace triotdt::exchange {

// How the exchange decisions of one data set are laid out, wherever they are
// drawn, stored or read: one bit per family of the input, 64 families to a
// word, family f at bit f % 64 of word f / 64; a set bit means exchanged.
struct ExchangeBits {
    static constexpr std::size_t familiesPerWord = 64;

    static constexpr std::size_t wordsFor(std::size_t familyCount) {
        return (familyCount + familiesPerWord - 1) / familiesPerWord;
    }
    static constexpr std::uint32_t read(const std::uint64_t* words, std::size_t f) {
        return static_cast<std::uint32_t>(words[f / familiesPerWord] >> (f % familiesPerWord)) & 1u;
    }
    // Sets family f's bit when `exchanged`; the word must start cleared.
    static constexpr void set(std::uint64_t* words, std::size_t f, bool exchanged) {
        words[f / familiesPerWord] |= static_cast<std::uint64_t>(exchanged) << (f % familiesPerWord);
    }
};

}  // namespace triotdt::exchange
