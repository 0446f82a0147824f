#include "exchange/stream_position.h"

#include <array>

namespace triotdt::exchange {
namespace {

// x → (multiplier × x + increment) mod modulus. With a modulus below 2^20
// no product or sum reaches 2^41.
struct AffineMap {
    std::uint64_t multiplier, increment, modulus;

    std::uint64_t operator()(std::uint64_t x) const { return (multiplier * x + increment) % modulus; }
};

// `second` applied after `first`.
AffineMap compose(const AffineMap& second, const AffineMap& first) {
    return {second.multiplier * first.multiplier % first.modulus, second(first.increment), first.modulus};
}

// The map applied `times` times over, in O(log times) compositions.
AffineMap power(AffineMap map, std::uint64_t times) {
    AffineMap result{1, 0, map.modulus};
    for (; times > 0; times >>= 1) {
        if (times & 1) result = compose(map, result);
        map = compose(map, map);
    }
    return result;
}

AffineMap forwardStep(const LcgConstants& g) { return {g.multiplier, g.increment, g.modulus}; }

// The multiplier's inverse modulo m, by the extended Euclidean algorithm.
constexpr std::uint64_t inverseOf(std::int64_t a, std::int64_t m) {
    std::int64_t r0 = m, r1 = a, t0 = 0, t1 = 1;
    while (r1 != 0) {
        const std::int64_t q = r0 / r1;
        const std::int64_t r2 = r0 - q * r1, t2 = t0 - q * t1;
        r0 = r1, r1 = r2, t0 = t1, t1 = t2;
    }
    return static_cast<std::uint64_t>(t0 < 0 ? t0 + m : t0);
}

// x_{t−1} = a⁻¹ × (x_t − c) mod m: every multiplier is prime to its modulus.
AffineMap backwardStep(const LcgConstants& g) {
    const std::uint64_t inverse =
        inverseOf(static_cast<std::int64_t>(g.multiplier), static_cast<std::int64_t>(g.modulus));
    return {inverse, (g.modulus - inverse * g.increment % g.modulus) % g.modulus, g.modulus};
}

// The generator seeded with 0, before its first draw. Seeding with s puts
// generator 1 at (150889 − s) mod 714025, one step from 0 for s = 0; two
// more steps give generators 2 and 3 their states, and the next 97 values
// of generators 1 and 2 fill the table.
GeneratorState seededWithZero() {
    GeneratorState g;
    std::uint32_t state1 = lcgStep(lcg1, lcgStep(lcg1, 0));
    g.lcgState2 = static_cast<std::int32_t>(state1 % modulus2);
    state1 = lcgStep(lcg1, state1);
    g.lcgState3 = static_cast<std::int32_t>(state1 % modulus3);
    std::uint32_t state2 = static_cast<std::uint32_t>(g.lcgState2);
    for (double& slot : g.shuffleTable) {
        state1 = lcgStep(lcg1, state1);
        state2 = lcgStep(lcg2, state2);
        slot = valueOfStates(state1, state2);
    }
    g.lcgState1 = static_cast<std::int32_t>(state1);
    g.lcgState2 = static_cast<std::int32_t>(state2);
    return g;
}

}  // namespace

GeneratorState generatorAfter(std::uint64_t drawCount) {
    GeneratorState generator = seededWithZero();
    if (drawCount == 0) return generator;
    // Seeded with 0, every state stays non-negative.
    std::uint64_t state1 = power(forwardStep(lcg1), drawCount)(static_cast<std::uint64_t>(generator.lcgState1));
    std::uint64_t state2 = power(forwardStep(lcg2), drawCount)(static_cast<std::uint64_t>(generator.lcgState2));
    std::uint64_t state3 = power(forwardStep(lcg3), drawCount)(static_cast<std::uint64_t>(generator.lcgState3));
    generator.lcgState1 = static_cast<std::int32_t>(state1);
    generator.lcgState2 = static_cast<std::int32_t>(state2);
    generator.lcgState3 = static_cast<std::int32_t>(state3);

    const AffineMap back1 = backwardStep(lcg1), back2 = backwardStep(lcg2), back3 = backwardStep(lcg3);
    std::array<bool, 97> refilled{};
    int slotsLeft = 97;
    // Draw t refilled slot shuffleSlot(state3 at t) with the value of the states at t.
    for (std::uint64_t t = drawCount; slotsLeft > 0; --t) {
        const std::uint32_t slot = shuffleSlot(state3) - 1;
        if (!refilled[slot]) {
            refilled[slot] = true;
            generator.shuffleTable[slot] =
                valueOfStates(static_cast<std::uint32_t>(state1), static_cast<std::uint32_t>(state2));
            --slotsLeft;
        }
        if (t == 1) break;  // the slots left keep their first fill
        state1 = back1(state1);
        state2 = back2(state2);
        state3 = back3(state3);
    }
    return generator;
}

}  // namespace triotdt::exchange
