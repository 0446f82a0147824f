#pragma once

#include <array>
#include <cstdint>

#include "exchange/exchange_bits.h"

namespace triotdt::exchange {

// Philox4x32-10 (Salmon, Moraes, Dror and Shaw, SC 2011) of `counter` under
// `key`: four words of 32 bits, a pure function of its arguments.
using PhiloxWords = std::array<std::uint32_t, 4>;
using PhiloxKey = std::array<std::uint32_t, 2>;
PhiloxWords philox(const PhiloxWords& counter, const PhiloxKey& key);

// The counter-based stream: the exchange bits of replicate r are a function
// of the seed, r and the family alone, so every replicate of every window is
// drawn where it is asked for, on any thread or shard, without a jump, and a
// window can take as many replicates as it needs.
//
// The layout, which fixes the bits for good:
//   key      (seed mod 2^32, seed / 2^32)
//   counter  (r mod 2^32, r / 2^32, f / 128, 0), r the replicate of the window
//            from 0, f the family's place in the input from 0
//   bit      Philox4x32-10 of that counter gives words x0 x1 x2 x3; family f
//            is bit f mod 32 of word x[(f mod 128) / 32], exchanged when 1.
// So one Philox call gives 128 families' bits, and in ExchangeBits words
// word 2b of a replicate is x0 + 2^32·x1 and word 2b + 1 is x2 + 2^32·x3
// of counter (r, b). The window plays no part: replicate r exchanges the same
// families in every window of the run.
class CounterStream {
public:
    explicit CounterStream(const ExchangePlace& place);

    // Replicates [first, first + replicates) of any window.
    void fill(std::int32_t first, std::int32_t replicates, ExchangeBlock& block) const;

private:
    std::int32_t familyCount_;
    PhiloxKey key_;
};

}  // namespace triotdt::exchange
