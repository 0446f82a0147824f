#include "exchange/uniform_random.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "exchange/exchange_bits.h"
#include "exchange/lcg_step.h"

namespace triotdt::exchange {
namespace {

void advance(UniformRandom& g) {
    g.lcgState1 = (multiplier1 * g.lcgState1 + increment1) % modulus1;
    g.lcgState2 = (multiplier2 * g.lcgState2 + increment2) % modulus2;
}

double currentValue(const UniformRandom& g) {
    return (static_cast<double>(g.lcgState2) * scale2 + g.lcgState1) * scale1;
}

void initialise(UniformRandom& g, std::int32_t seed) {
    g.generatorReady = true;
    g.lcgState1 = (increment1 - seed) % modulus1;
    g.lcgState1 = (multiplier1 * g.lcgState1 + increment1) % modulus1;
    g.lcgState2 = g.lcgState1 % modulus2;
    g.lcgState1 = (multiplier1 * g.lcgState1 + increment1) % modulus1;
    g.lcgState3 = g.lcgState1 % modulus3;
    for (double& slot : g.shuffleTable) {
        advance(g);
        slot = currentValue(g);
    }
}

// (150889 − seed) must not overflow; seeds below −2^31 + 150889 are taken
// modulo 714025 first, which gives the same state.
std::int32_t withoutOverflow(std::int32_t seed) { return seed < -2000000000 ? seed % modulus1 : seed; }

}  // namespace

UniformRandom initialisedGenerator(std::int32_t seed) {
    UniformRandom generator;
    initialise(generator, withoutOverflow(seed));
    return generator;
}

double uniformRandom(UniformRandom& generator, std::int32_t& seed) {
    if (seed < 0 || !generator.generatorReady) {
        initialise(generator, withoutOverflow(seed));
        seed = 1;
    }
    advance(generator);
    generator.lcgState3 = (multiplier3 * generator.lcgState3 + increment3) % modulus3;
    const std::int32_t slot = 1 + (97 * generator.lcgState3) / modulus3;
    if (slot < 1 || slot > 97) {
        throw std::logic_error("random number generator: shuffle slot " + std::to_string(slot) + " is outside 1..97");
    }
    double& stored = generator.shuffleTable[static_cast<std::size_t>(slot - 1)];
    const double result = stored;
    stored = currentValue(generator);
    return result;
}

void drawExchangeDecisions(UniformRandom& generator, std::int32_t& seed, std::span<std::uint64_t> bits,
                           std::size_t count) {
    std::fill(bits.begin(), bits.begin() + static_cast<std::ptrdiff_t>(ExchangeBits::wordsFor(count)), 0);
    const auto set = [&](std::size_t i, bool exchanged) { ExchangeBits::set(bits.data(), i, exchanged); };
    std::size_t i = 0;
    if (count > 0 && (seed < 0 || !generator.generatorReady)) {
        set(i, uniformRandom(generator, seed) <= 0.5);
        ++i;
    }
    const bool nonNegative = generator.lcgState1 >= 0 && generator.lcgState2 >= 0 && generator.lcgState3 >= 0;
    if (!nonNegative) {
        for (; i < count; ++i) set(i, uniformRandom(generator, seed) <= 0.5);
        return;
    }
    // With non-negative states the signed remainders are the unsigned ones and
    // the slot is always 1..97.
    std::uint32_t state1 = static_cast<std::uint32_t>(generator.lcgState1);
    std::uint32_t state2 = static_cast<std::uint32_t>(generator.lcgState2);
    std::uint32_t state3 = static_cast<std::uint32_t>(generator.lcgState3);
    double* const table = generator.shuffleTable.data();
    for (; i < count; ++i) {
        state1 = lcgStep(lcg1, state1);
        state2 = lcgStep(lcg2, state2);
        state3 = lcgStep(lcg3, state3);
        const std::uint32_t slot = shuffleSlot(state3) - 1;
        set(i, table[slot] <= 0.5);
        table[slot] = valueOfStates(state1, state2);
    }
    generator.lcgState1 = static_cast<std::int32_t>(state1);
    generator.lcgState2 = static_cast<std::int32_t>(state2);
    generator.lcgState3 = static_cast<std::int32_t>(state3);
}

}  // namespace triotdt::exchange
