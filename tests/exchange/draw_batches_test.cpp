#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "exchange/draw_batches.h"
#include "exchange/lcg_step.h"
#include "exchange/uniform_random.h"

namespace triotdt::exchange {
namespace {

// `count` values drawn with the seed variable `seed`, which the generator may change.
std::vector<double> draw(UniformRandom& generator, std::int32_t& seed, int count) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i) values.push_back(uniformRandom(generator, seed));
    return values;
}

std::vector<double> freshStream(std::int32_t seed, int count) {
    UniformRandom generator;
    return draw(generator, seed, count);
}

// --- The seed ---------------------------------------------------------------------

TEST(UniformRandom, TheFirstCallInitialisesFromSeed0AndSetsTheSeedTo1) {
    UniformRandom generator;
    std::int32_t seed = 0;
    EXPECT_FALSE(generator.generatorReady);
    uniformRandom(generator, seed);
    EXPECT_TRUE(generator.generatorReady);
    EXPECT_EQ(seed, 1);
    // The seed selects the stream: another seed gives other values.
    EXPECT_NE(freshStream(0, 20), freshStream(-7, 20));
}

TEST(UniformRandom, ALaterPositiveSeedIsNeitherUsedNorChanged) {
    UniformRandom generator;
    std::int32_t seed = 0;
    draw(generator, seed, 5);
    std::int32_t other = 7;
    const std::vector<double> rest = draw(generator, other, 50);
    EXPECT_EQ(other, 7);
    const std::vector<double> whole = freshStream(0, 55);
    EXPECT_EQ(std::vector<double>(whole.begin() + 5, whole.end()), rest);
}

TEST(UniformRandom, ANegativeSeedRestartsTheStream) {
    UniformRandom generator;
    std::int32_t seed = 0;
    draw(generator, seed, 100);
    std::int32_t restart = -5;
    const std::vector<double> restarted = draw(generator, restart, 50);
    EXPECT_EQ(restart, 1);
    EXPECT_EQ(restarted, freshStream(-5, 50));
    // Restarting with seed -5 is not the same as the stream of seed 0 or 5.
    EXPECT_NE(restarted, freshStream(0, 50));
}

TEST(UniformRandom, TheMostNegativeSeedsRestartWithoutOverflow) {
    for (const std::int32_t seed : {-2147483647 - 1, -2000000001, -150889}) {
        const std::vector<double> values = freshStream(seed, 1000);
        for (const double value : values) {
            ASSERT_GE(value, 0.0) << seed;
            ASSERT_LT(value, 1.0001) << seed;
        }
    }
}

TEST(UniformRandom, ASeedThatWouldLeaveTheTableEndsWithAnErrorInsteadOfReadingOutside) {
    // Seeds above 150889 make the initial states negative, and with them the slot.
    UniformRandom generator;
    std::int32_t seed = 151000;
    EXPECT_THROW(draw(generator, seed, 1000), std::logic_error);
}

// --- The stream ---------------------------------------------------------------------

TEST(UniformRandom, TwoGeneratorsGiveIdenticalStreams) {
    const std::vector<double> first = freshStream(0, 10000);
    const std::vector<double> second = freshStream(0, 10000);
    EXPECT_EQ(first, second);
}

TEST(UniformRandom, ValuesLieInRangeAndAboutHalfAreAtMostOneHalf) {
    const std::vector<double> values = freshStream(0, 200000);
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

// Drawing many decisions at once gives the decisions of one call per draw,
// and leaves the generator where those calls leave it.
TEST(FastDraws, DecisionsEqualOneCallPerDraw) {
    UniformRandom bulk, single;
    std::int32_t bulkSeed = 0, singleSeed = 0;
    for (const std::size_t length : {std::size_t{0}, std::size_t{1}, std::size_t{97}, std::size_t{100000}}) {
        // Stale bits beyond the decisions must be cleared.
        std::vector<std::uint64_t> bits((length + 63) / 64, ~std::uint64_t{0});
        drawExchangeDecisions(bulk, bulkSeed, bits, length);
        for (std::size_t i = 0; i < bits.size() * 64; ++i) {
            const bool expected = i < length && uniformRandom(single, singleSeed) <= 0.5;
            ASSERT_EQ((bits[i / 64] >> (i % 64)) & 1, expected ? 1u : 0u) << "draw " << i;
        }
    }
    EXPECT_EQ(bulkSeed, singleSeed);
    EXPECT_EQ(uniformRandom(bulk, bulkSeed), uniformRandom(single, singleSeed));
}

// Batches handed out in pieces that cross batches and words give the values
// of one call per draw.
TEST(FastDraws, BatchedExchangeBitsEqualOneCallPerDraw) {
    for (const auto& named : drawKernels.runnable()) {
        UniformRandom single = initialisedGenerator(0);
        std::int32_t seed = 1;
        DrawBatches batches(single, named.kernel);
        for (const std::size_t length : {std::size_t{1}, std::size_t{31}, std::size_t{97}, std::size_t{0},
                                         std::size_t{64}, std::size_t{5000}, std::size_t{33}}) {
            std::vector<std::uint64_t> bits((length + 63) / 64, ~std::uint64_t{0});
            batches.draw(bits, length);
            for (std::size_t i = 0; i < bits.size() * 64; ++i) {
                const bool expected = i < length && uniformRandom(single, seed) <= 0.5;
                ASSERT_EQ((bits[i / 64] >> (i % 64)) & 1, expected ? 1u : 0u)
                    << named.name << ", length " << length << ", draw " << i;
            }
        }
    }
}

}  // namespace
}  // namespace triotdt::exchange
