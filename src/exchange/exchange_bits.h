#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace triotdt::exchange {

// Which families of the input one data set exchanges: an exchanged family has
// both parents' transmitted and untransmitted alleles trade places at every
// locus where its phase is resolved; the observed data exchange none. One
// bit per family of the input, 64 families to a word, family f at bit f % 64
// of word f / 64, set when exchanged. Every source writes this layout and
// everything that reads the bits reads them through this view; a window's
// families find theirs by their places in the input.
class ExchangeBits {
public:
    static constexpr std::size_t familiesPerWord = 64;

    static constexpr std::size_t wordsFor(std::size_t familyCount) {
        return (familyCount + familiesPerWord - 1) / familiesPerWord;
    }
    // Sets family f's bit when `exchanged`; the word must start cleared.
    static constexpr void set(std::uint64_t* words, std::size_t f, bool exchanged) {
        words[f / familiesPerWord] |= static_cast<std::uint64_t>(exchanged) << (f % familiesPerWord);
    }

    ExchangeBits() = default;
    explicit constexpr ExchangeBits(const std::uint64_t* words) : words_(words) {}

    // 1 when input family f is exchanged, 0 when it is observed. Always
    // inlined, so that each vector kernel reads it in code of its own unit.
    [[gnu::always_inline]] constexpr std::uint32_t exchanged(std::size_t f) const {
        return static_cast<std::uint32_t>(words_[f / familiesPerWord] >> (f % familiesPerWord)) & 1u;
    }

private:
    const std::uint64_t* words_ = nullptr;
};

// Where a window's exchange bits are: one bit per family of the input and
// replicate of the window.
struct ExchangePlace {
    std::int32_t familyCount = 0;  // of the input, taking part in the window or not
    // The run's stream: the input's replicate count, which every window takes.
    // The counter-based stream: the most replicates the window may take.
    std::int32_t replicateCount = 0;
    std::int64_t windowIndex = 0;  // in report order, from 0
    // The counter-based stream's seed; none: the run's stream.
    std::optional<std::uint64_t> counterSeed;
};

// The exchange bits of some consecutive replicates of one window, replicate
// after replicate, reused from block to block.
struct ExchangeBlock {
    std::int32_t replicates = 0;
    std::size_t wordsPerReplicate = 0;
    std::vector<std::uint64_t> words;

    // The r-th replicate of the block.
    ExchangeBits replicate(std::int32_t r) const {
        return ExchangeBits(words.data() + static_cast<std::size_t>(r) * wordsPerReplicate);
    }
};

}  // namespace triotdt::exchange
