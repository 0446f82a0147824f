#pragma once

// The counter-based stream one bit at a time, written from the published
// definition of Philox4x32-10 in plain 64-bit arithmetic, apart from the
// library the program uses: ten rounds, each multiplying words 0 and 2 by
// their constants, crossing the halves and mixing in the key, which is bumped
// by the Weyl constants between rounds.

#include <array>
#include <cstdint>

namespace triotdt::test {

inline std::array<std::uint32_t, 4> philoxReference(std::array<std::uint32_t, 4> x, std::array<std::uint32_t, 2> key) {
    for (int round = 0; round < 10; ++round) {
        if (round > 0) {
            key[0] += 0x9E3779B9u;
            key[1] += 0xBB67AE85u;
        }
        const std::uint64_t product0 = std::uint64_t{0xD2511F53u} * x[0];
        const std::uint64_t product1 = std::uint64_t{0xCD9E8D57u} * x[2];
        x = {static_cast<std::uint32_t>(product1 >> 32) ^ x[1] ^ key[0], static_cast<std::uint32_t>(product1),
             static_cast<std::uint32_t>(product0 >> 32) ^ x[3] ^ key[1], static_cast<std::uint32_t>(product0)};
    }
    return x;
}

// Whether replicate r exchanges family f (both from 0) under `seed`.
inline bool exchangedReference(std::uint64_t seed, std::uint64_t r, std::uint64_t f) {
    const std::array<std::uint32_t, 4> words = philoxReference(
        {static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(r >> 32), static_cast<std::uint32_t>(f / 128), 0},
        {static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32)});
    return (words[f % 128 / 32] >> (f % 32) & 1u) != 0;
}

}  // namespace triotdt::test
