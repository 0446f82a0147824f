#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace triotdt::exchange {

// A combined generator: two linear congruential generators build each value,
// a third picks which of 97 stored values is handed out next, and that slot is
// refilled. One stream serves the whole run, seeded once with 0, so every run
// on the same input gives the same p-values.
struct UniformRandom {
    std::int32_t lcgState1 = 0;
    std::int32_t lcgState2 = 0;
    std::int32_t lcgState3 = 0;
    std::array<double, 97> shuffleTable{};
    bool generatorReady = false;
};

// The next value of the stream, between 0 and a hair above 1. On the first
// call, or when `seed` is negative, the generator first initialises itself
// from `seed` and sets `seed` to 1; otherwise `seed` is neither used nor changed.
double uniformRandom(UniformRandom& generator, std::int32_t& seed);

// The generator as the first call with `seed` leaves it just before its first
// draw: the table filled, generatorReady set.
UniformRandom initialisedGenerator(std::int32_t seed);

// Sets bit i of `bits` (i < count; bit i is bit i % 64 of word i / 64) when
// the i-th next value of the stream is 0.5 or less, and clears it otherwise:
// the same values as calling uniformRandom once per decision, drawn faster.
// The bits of the last word beyond `count` are cleared.
void drawExchangeDecisions(UniformRandom& generator, std::int32_t& seed, std::span<std::uint64_t> bits,
                           std::size_t count);

}  // namespace triotdt::exchange
