#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "exchange/draw_batches.h"
#include "exchange/generator.h"
#include "support/uniform_random.h"

namespace triotdt::exchange {
namespace {

// --- The stream ---------------------------------------------------------------------

TEST(UniformRandom, ValuesLieInRangeAndAboutHalfAreAtMostOneHalf) {
    test::UniformRandom generator;
    std::vector<double> values(200000);
    for (double& value : values) value = generator.next();
    std::size_t atMostHalf = 0;
    double smallest = 1.0, largest = 0.0;
    for (const double value : values) {
        smallest = std::min(smallest, value);
        largest = std::max(largest, value);
        if (value <= 0.5) ++atMostHalf;
    }
    EXPECT_GE(smallest, 0.0);
    EXPECT_LT(largest, 1.0001);
    EXPECT_GT(largest, 0.999);
    EXPECT_LT(smallest, 0.001);
    EXPECT_NEAR(static_cast<double>(atMostHalf) / static_cast<double>(values.size()), 0.5, 0.01);
    // Each tenth of the range gets about a tenth of the values.
    std::vector<int> tenths(11, 0);
    for (const double value : values) ++tenths[static_cast<std::size_t>(value * 10)];
    for (int t = 0; t < 10; ++t) EXPECT_NEAR(tenths[static_cast<std::size_t>(t)], 20000, 1000) << "tenth " << t;
}

// The fast steps replace every remainder by a multiplication: check them
// against the remainders for every state each generator can be in.
TEST(FastDraws, EveryStepAndSlotEqualsTheRemainders) {
    for (const auto& [g, a, c, m] :
         {std::tuple{lcg1, multiplier1, increment1, modulus1}, std::tuple{lcg2, multiplier2, increment2, modulus2},
          std::tuple{lcg3, multiplier3, increment3, modulus3}}) {
        for (std::int32_t state = 0; state < m; ++state) {
            ASSERT_EQ(static_cast<std::int32_t>(lcgStep(g, static_cast<std::uint64_t>(state))), (a * state + c) % m)
                << "modulus " << m << ", state " << state;
        }
    }
    for (std::int32_t state = 0; state < modulus3; ++state) {
        ASSERT_EQ(static_cast<std::int32_t>(shuffleSlot(static_cast<std::uint64_t>(state))), 1 + 97 * state / modulus3);
    }
}

// Every kernel steps 32 at once, in doubles, as 32 single steps do, for
// every state of every generator; and refills the slot that the remainders
// pick for each state of generator 3.
TEST(FastDraws, EveryKernelStepsEveryStateAsSingleStepsDo) {
    const auto after32 = [](const LcgConstants& g, std::int32_t state) {
        std::uint32_t single = static_cast<std::uint32_t>(state);
        for (std::size_t i = 0; i < DrawChains::batch; ++i) single = lcgStep(g, single);
        return static_cast<double>(single);
    };
    for (const auto& named : drawKernels.runnable()) {
        DrawChains chains{};
        for (std::int32_t first = 0; first < modulus1; first += DrawChains::batch) {
            for (std::size_t j = 0; j < DrawChains::batch; ++j) {
                const auto state = first + static_cast<std::int32_t>(j);
                chains.state1[j] = state % modulus1;
                chains.state2[j] = state % modulus2;
                chains.state3[j] = state % modulus3;
            }
            named.kernel(chains);
            for (std::size_t j = 0; j < DrawChains::batch; ++j) {
                const auto state = first + static_cast<std::int32_t>(j);
                ASSERT_EQ(chains.state1[j], after32(lcg1, state % modulus1)) << named.name << ", state " << state;
                ASSERT_EQ(chains.state2[j], after32(lcg2, state % modulus2)) << named.name << ", state " << state;
                ASSERT_EQ(chains.state3[j], after32(lcg3, state % modulus3)) << named.name << ", state " << state;
            }
        }
    }
    // With every chain at one state of generator 3, the batch's draws all
    // refill one slot of a table that held only a mark.
    constexpr double mark = 2.0;
    for (const auto& named : drawKernels.runnable()) {
        for (std::int32_t state = 0; state < modulus3; ++state) {
            DrawChains chains{};
            std::fill(std::begin(chains.state1), std::end(chains.state1), 1.0);
            std::fill(std::begin(chains.state3), std::end(chains.state3), static_cast<double>(state));
            std::fill(std::begin(chains.table), std::end(chains.table), mark);
            named.kernel(chains);
            const auto refilled = std::find_if(std::begin(chains.table), std::end(chains.table),
                                               [](double value) { return value != mark; });
            ASSERT_EQ(refilled - std::begin(chains.table),
                      static_cast<std::ptrdiff_t>(shuffleSlot(static_cast<std::uint64_t>(state))) - 1)
                << named.name << ", state " << state;
            ASSERT_EQ(std::count(std::begin(chains.table), std::end(chains.table), mark), 96);
        }
    }
}

// Batches handed out in pieces that cross batches and words give the values
// of one draw at a time.
TEST(FastDraws, BatchedExchangeBitsEqualOneDrawAtATime) {
    for (const auto& named : drawKernels.runnable()) {
        test::UniformRandom single;
        DrawBatches batches(single.state(), named.kernel);
        for (const std::size_t length : {std::size_t{1}, std::size_t{31}, std::size_t{97}, std::size_t{0},
                                         std::size_t{64}, std::size_t{5000}, std::size_t{33}}) {
            std::vector<std::uint64_t> bits((length + 63) / 64, ~std::uint64_t{0});
            batches.draw(bits, length);
            for (std::size_t i = 0; i < bits.size() * 64; ++i) {
                const bool expected = i < length && single.nextExchanged();
                ASSERT_EQ((bits[i / 64] >> (i % 64)) & 1, expected ? 1u : 0u)
                    << named.name << ", length " << length << ", draw " << i;
            }
        }
    }
}

}  // namespace
}  // namespace triotdt::exchange
