#pragma once

// The generator of the run's stream: two linear congruential generators build
// each value, a third picks which of 97 stored values is handed out next, and
// that slot is refilled. One stream serves the whole run, seeded once with 0,
// so every run on the same input gives the same p-values.
//
// The program never draws one value at a time: it puts the generator at a
// window's place by jumping (stream_position.h) and draws 32 at a time
// (draw_batches.h). The one-at-a-time generator, as documented, is the
// tests' reference (tests/support/uniform_random.h).

#include <array>
#include <cstdint>

namespace triotdt::exchange {

// The generator between two draws: the three states and the table.
struct GeneratorState {
    std::int32_t lcgState1 = 0;
    std::int32_t lcgState2 = 0;
    std::int32_t lcgState3 = 0;
    std::array<double, 97> shuffleTable{};
};

constexpr std::int32_t modulus1 = 714025, multiplier1 = 1366, increment1 = 150889;
constexpr std::int32_t modulus2 = 139968, multiplier2 = 3877, increment2 = 29573;
constexpr std::int32_t modulus3 = 214326, multiplier3 = 3613, increment3 = 45289;

// The single-precision numbers nearest to 1/714025 and 1/139968, used as
// doubles: the stream depends on these exact values.
constexpr double scale1 = 1.4005112234372064e-06;
constexpr double scale2 = 7.144490155042149e-06;

// The value that states of generators 1 and 2 make, when both are
// non-negative (with seed 0 they always are).
inline double valueOfStates(std::uint32_t state1, std::uint32_t state2) {
    return (static_cast<double>(state2) * scale2 + state1) * scale1;
}

// x / m for 0 <= x < 2^30 is (x × R) >> 50 with R = ceil(2^50 / m), exactly:
// each modulus is below 2^20, so R's error, under 1/m, times x stays below
// 2^-20 < 1/m. A step takes its quotient straight from the state,
// (s × aR + cR) >> 50, so that it need not wait for a × s + c to be formed.
constexpr int reciprocalShift = 50;

constexpr std::uint64_t reciprocalOf(std::int32_t m) {
    return ((std::uint64_t{1} << reciprocalShift) + static_cast<std::uint64_t>(m) - 1) / static_cast<std::uint64_t>(m);
}

struct LcgConstants {
    std::uint64_t multiplier, increment, modulus, quotientMultiplier, quotientIncrement;
};

constexpr LcgConstants lcgConstants(std::int32_t a, std::int32_t c, std::int32_t m) {
    return {static_cast<std::uint64_t>(a), static_cast<std::uint64_t>(c), static_cast<std::uint64_t>(m),
            static_cast<std::uint64_t>(a) * reciprocalOf(m), static_cast<std::uint64_t>(c) * reciprocalOf(m)};
}

constexpr LcgConstants lcg1 = lcgConstants(multiplier1, increment1, modulus1);
constexpr LcgConstants lcg2 = lcgConstants(multiplier2, increment2, modulus2);
constexpr LcgConstants lcg3 = lcgConstants(multiplier3, increment3, modulus3);

// (a × state + c) mod m for a state in 0..m − 1.
inline std::uint32_t lcgStep(const LcgConstants& g, std::uint64_t state) {
    const std::uint64_t quotient = (state * g.quotientMultiplier + g.quotientIncrement) >> reciprocalShift;
    return static_cast<std::uint32_t>(g.multiplier * state + g.increment - quotient * g.modulus);
}

// The shuffle-table slot (1..97) that generator 3's state picks: 1 + 97 × state / m.
inline std::uint32_t shuffleSlot(std::uint64_t state3) {
    return 1 + static_cast<std::uint32_t>((state3 * (97 * reciprocalOf(modulus3))) >> reciprocalShift);
}

}  // namespace triotdt::exchange
