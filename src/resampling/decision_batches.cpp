#include "resampling/decision_batches.h"

#include <algorithm>

#include "resampling/lcg_step.h"
#include "statistics/exchange_bits.h"

namespace triotdt::resampling {
namespace {

// Adding and taking away 2^52 rounds a double in [0, 2^51) to the nearest integer.
constexpr double roundingShift = 4503599627370496.0;

struct BatchStep {
    double multiplier, increment, modulus, reciprocal;
};

constexpr BatchStep batchStep(std::int64_t a, std::int64_t c, std::int64_t m) {
    std::int64_t power = 1, sum = 0;
    for (std::size_t i = 0; i < DecisionBatches::batch; ++i) {
        sum = (sum + power) % m;
        power = power * a % m;
    }
    return {static_cast<double>(power), static_cast<double>(sum * c % m), static_cast<double>(m),
            1.0 / static_cast<double>(m)};
}

constexpr BatchStep batch1 = batchStep(multiplier1, increment1, modulus1);
constexpr BatchStep batch2 = batchStep(multiplier2, increment2, modulus2);
constexpr BatchStep batch3 = batchStep(multiplier3, increment3, modulus3);

// x mod m for an integer 0 <= x < 2^41: the rounded quotient is the true one
// or one more, so the remainder needs at most one correction.
inline double remainder(double x, double modulus, double reciprocal) {
    const double quotient = (x * reciprocal + roundingShift) - roundingShift;
    const double r = x - quotient * modulus;
    return r < 0 ? r + modulus : r;
}

inline double stepBatch(double state, const BatchStep& g) {
    return remainder(state * g.multiplier + g.increment, g.modulus, g.reciprocal);
}

// floor(97 × state / m3): the rounded quotient is the true one or one more.
inline double slotOf(double state) {
    const double scaled = state * 97.0;
    const double quotient = (scaled * batch3.reciprocal + roundingShift) - roundingShift;
    return quotient * batch3.modulus > scaled ? quotient - 1.0 : quotient;
}

}  // namespace

double stepBatch1(double state) { return stepBatch(state, batch1); }
double stepBatch2(double state) { return stepBatch(state, batch2); }
double stepBatch3(double state) { return stepBatch(state, batch3); }
double slotOfState3(double state) { return slotOf(state); }

DecisionBatches::DecisionBatches(const UniformRandom& generator) {
    std::uint32_t s1 = static_cast<std::uint32_t>(generator.lcgState1);
    std::uint32_t s2 = static_cast<std::uint32_t>(generator.lcgState2);
    std::uint32_t s3 = static_cast<std::uint32_t>(generator.lcgState3);
    // Chain j holds the states of draw j of the next batch.
    for (std::size_t j = 0; j < batch; ++j) {
        s1 = lcgStep(lcg1, s1);
        s2 = lcgStep(lcg2, s2);
        s3 = lcgStep(lcg3, s3);
        state1_[j] = s1;
        state2_[j] = s2;
        state3_[j] = s3;
    }
    std::copy(generator.shuffleTable.begin(), generator.shuffleTable.end(), table_);
}

// The loops over the 32 chains are plain loops that the compiler turns into
// vector code, once for each vector unit; the processor's own is chosen when
// the program starts.
__attribute__((target_clones("avx512f", "avx2", "default"))) void DecisionBatches::drawBatch() {
    alignas(64) std::int32_t slots[batch];
    alignas(64) double values[batch];
    alignas(64) double handedOut[batch];
    for (std::size_t j = 0; j < batch; ++j) {
        slots[j] = static_cast<std::int32_t>(slotOf(state3_[j]));
        // The value of the two states, as valueOfStates forms it.
        values[j] = (state2_[j] * scale2 + state1_[j]) * scale1;
    }
    // Only this loop goes draw by draw: a draw may take the slot the one
    // before it filled.
    for (std::size_t j = 0; j < batch; ++j) {
        double& slot = table_[slots[j]];
        handedOut[j] = slot;
        slot = values[j];
    }
    std::uint32_t decisions = 0;
    for (std::size_t j = 0; j < batch; ++j) decisions |= static_cast<std::uint32_t>(handedOut[j] <= 0.5) << j;
    for (std::size_t j = 0; j < batch; ++j) {
        state1_[j] = stepBatch(state1_[j], batch1);
        state2_[j] = stepBatch(state2_[j], batch2);
        state3_[j] = stepBatch(state3_[j], batch3);
    }
    decisions_ = decisions;
    used_ = 0;
}

void DecisionBatches::draw(std::span<std::uint64_t> bits, std::size_t count) {
    using statistics::ExchangeBits;
    std::fill(bits.begin(), bits.begin() + static_cast<std::ptrdiff_t>(ExchangeBits::wordsFor(count)), 0);
    for (std::size_t i = 0; i < count;) {
        if (used_ == batch) drawBatch();
        // As many decisions of the batch as fit in the word and are wanted.
        const std::size_t bit = i % ExchangeBits::familiesPerWord;
        const std::size_t take = std::min({batch - used_, ExchangeBits::familiesPerWord - bit, count - i});
        const std::uint64_t taken = (std::uint64_t{decisions_} >> used_) & ((std::uint64_t{1} << take) - 1);
        bits[i / ExchangeBits::familiesPerWord] |= taken << bit;
        used_ += take;
        i += take;
    }
}

}  // namespace triotdt::resampling
