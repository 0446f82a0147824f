#pragma once

// The run's stream one value at a time, exactly as the generator is
// documented, in its own signed arithmetic: seeded once with 0, each call
// advances the three generators, hands out the table slot generator 3 picks
// and refills it. The program never draws this way (it jumps to a window's
// place and draws 32 at a time, exchange/); this is the reference that the
// jump and the batched exchange bits are held to.

#include "exchange/generator.h"

namespace triotdt::test {

class UniformRandom {
public:
    UniformRandom() {
        using namespace exchange;
        g_.lcgState1 = (increment1 - 0) % modulus1;
        g_.lcgState1 = (multiplier1 * g_.lcgState1 + increment1) % modulus1;
        g_.lcgState2 = g_.lcgState1 % modulus2;
        g_.lcgState1 = (multiplier1 * g_.lcgState1 + increment1) % modulus1;
        g_.lcgState3 = g_.lcgState1 % modulus3;
        for (double& slot : g_.shuffleTable) {
            advance();
            slot = value();
        }
    }
    // Draws on from `state`.
    explicit UniformRandom(const exchange::GeneratorState& state) : g_(state) {}

    double next() {
        using namespace exchange;
        advance();
        g_.lcgState3 = (multiplier3 * g_.lcgState3 + increment3) % modulus3;
        double& slot = g_.shuffleTable[static_cast<std::size_t>((97 * g_.lcgState3) / modulus3)];
        const double result = slot;
        slot = value();
        return result;
    }
    // Whether the next draw exchanges its family: 0.5 or less.
    bool nextExchanged() { return next() <= 0.5; }

    const exchange::GeneratorState& state() const { return g_; }

private:
    void advance() {
        using namespace exchange;
        g_.lcgState1 = (multiplier1 * g_.lcgState1 + increment1) % modulus1;
        g_.lcgState2 = (multiplier2 * g_.lcgState2 + increment2) % modulus2;
    }
    double value() const {
        return (static_cast<double>(g_.lcgState2) * exchange::scale2 + g_.lcgState1) * exchange::scale1;
    }

    exchange::GeneratorState g_;
};

}  // namespace triotdt::test
