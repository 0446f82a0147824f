// A generator put at a draw number without drawing, and the decisions of a
// window drawn from its own place in the stream, against one plain call of
// uniformRandom per draw from the start of the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "exchange/exchange_draws.h"
#include "exchange/lcg_step.h"
#include "exchange/stream_position.h"
#include "exchange/uniform_random.h"

namespace triotdt::exchange {
namespace {

testing::AssertionResult sameState(const UniformRandom& expected, const UniformRandom& actual) {
    if (expected.lcgState1 != actual.lcgState1 || expected.lcgState2 != actual.lcgState2 ||
        expected.lcgState3 != actual.lcgState3 || expected.generatorReady != actual.generatorReady) {
        return testing::AssertionFailure()
               << "states " << actual.lcgState1 << ' ' << actual.lcgState2 << ' ' << actual.lcgState3 << ", expected "
               << expected.lcgState1 << ' ' << expected.lcgState2 << ' ' << expected.lcgState3;
    }
    for (std::size_t j = 0; j < expected.shuffleTable.size(); ++j) {
        if (expected.shuffleTable[j] != actual.shuffleTable[j]) {
            return testing::AssertionFailure() << "slot " << j + 1 << " holds " << actual.shuffleTable[j]
                                               << ", expected " << expected.shuffleTable[j];
        }
    }
    return testing::AssertionSuccess();
}

void drawOn(UniformRandom& generator, std::uint64_t count) {
    std::int32_t seed = 1;
    for (std::uint64_t i = 0; i < count; ++i) uniformRandom(generator, seed);
}

TEST(GeneratorAfter, EqualsTheSequentialGeneratorEarlyLateAndPastEachPeriod) {
    constexpr std::uint64_t last = 3'000'000;
    // Before every slot has been refilled, and around the end of the first fill.
    std::vector<std::uint64_t> positions{0, 1, 2, 50, 96, 97, 98, 500, 1126, 1127, 1128};
    for (const std::uint64_t period : {modulus1, modulus2, modulus3}) {
        for (std::uint64_t k = period; k + 1 <= last; k += period) positions.insert(positions.end(), {k - 1, k, k + 1});
    }
    std::mt19937_64 random(14);
    for (int i = 0; i < 60; ++i) positions.push_back(random() % last);
    std::sort(positions.begin(), positions.end());

    UniformRandom sequential;
    std::int32_t seed = 0;
    std::uint64_t drawn = 0;
    for (const std::uint64_t position : positions) {
        for (; drawn < position; ++drawn) uniformRandom(sequential, seed);
        if (position == 0) {
            // Not drawn from yet: the first call fills the table from seed 0.
            ASSERT_TRUE(sameState(initialisedGenerator(0), generatorAfter(0)));
            continue;
        }
        ASSERT_TRUE(sameState(sequential, generatorAfter(position))) << "after " << position << " draws";
    }
}

TEST(GeneratorAfter, FarPositionsAgreeWithThePeriodsAndWithDrawingOn) {
    for (const std::uint64_t position : {std::uint64_t{1} << 62, (std::uint64_t{1} << 62) + 12345,
                                         std::uint64_t{10'000'000'000'000}, (std::uint64_t{1} << 63) - 1}) {
        const UniformRandom far = generatorAfter(position);
        // Each congruential generator comes back to its state after its period.
        EXPECT_EQ(far.lcgState1, generatorAfter(position % modulus1).lcgState1) << position;
        EXPECT_EQ(far.lcgState2, generatorAfter(position % modulus2).lcgState2) << position;
        EXPECT_EQ(far.lcgState3, generatorAfter(position % modulus3).lcgState3) << position;
        // The table: jump short of the position and draw the rest.
        for (const std::uint64_t short_ : {std::uint64_t{1}, std::uint64_t{3000}}) {
            UniformRandom nearly = generatorAfter(position - short_);
            drawOn(nearly, short_);
            EXPECT_TRUE(sameState(nearly, far)) << position << " less " << short_;
        }
    }
}

// One decision per draw, from the start of the run, through uniformRandom.
std::vector<bool> decisionsFromTheStart(std::uint64_t count) {
    std::vector<bool> exchanged(count);
    UniformRandom generator;
    std::int32_t seed = 0;
    for (std::uint64_t i = 0; i < count; ++i) exchanged[i] = uniformRandom(generator, seed) <= 0.5;
    return exchanged;
}

struct Shape {
    std::int32_t families, replicates;
};

// Checks `block`, replicates [firstReplicate, ...) of window w, against `reference`.
void expectBlockMatches(const std::vector<bool>& reference, Shape shape, std::int64_t w, std::int32_t firstReplicate,
                        const ExchangeBlock& block) {
    ASSERT_EQ(block.wordsPerReplicate, static_cast<std::size_t>(shape.families + 63) / 64);
    for (std::int32_t r = 0; r < block.replicates; ++r) {
        const ExchangeBits bits = block.replicate(r);
        const std::uint64_t start =
            firstDrawOfWindow(shape.families, shape.replicates, w) +
            static_cast<std::uint64_t>(firstReplicate + r) * static_cast<std::uint64_t>(shape.families);
        for (std::size_t f = 0; f < block.wordsPerReplicate * 64; ++f) {
            const bool expected = f < static_cast<std::size_t>(shape.families) && reference[start + f];
            ASSERT_EQ(bits.exchanged(f), expected ? 1u : 0u)
                << "window " << w << ", replicate " << firstReplicate + r << ", family " << f;
        }
    }
}

// All blocks of window w drawn from its own place; returns how many there were.
int expectWindowMatches(const std::vector<bool>& reference, Shape shape, std::int64_t w) {
    WindowDraws draws(shape.families, shape.replicates, w);
    ExchangeBlock block;
    int blocks = 0;
    for (std::int32_t done = 0; draws.drawBlock(block); done += block.replicates, ++blocks) {
        EXPECT_LE(block.replicates, draws.blockReplicates());
        expectBlockMatches(reference, shape, w, done, block);
        EXPECT_EQ(draws.replicatesLeft(), shape.replicates - done - block.replicates);
    }
    EXPECT_EQ(draws.replicatesLeft(), 0);
    return blocks;
}

TEST(WindowDraws, EachWindowFromItsOwnPlaceGivesTheDecisionsOfTheWholeRunsStream) {
    // Many families: a window takes several blocks, the last one shorter.
    const Shape wide{5000, 500};
    const std::vector<bool> wideReference = decisionsFromTheStart(3 * 5000 * 500);
    for (const std::int64_t w : {2, 0, 1}) EXPECT_GT(expectWindowMatches(wideReference, wide, w), 2) << w;

    // Few families: one block a window, and a window far into the stream.
    const Shape narrow{70, 9};
    const std::vector<bool> narrowReference = decisionsFromTheStart(4002 * 70 * 9);
    for (const std::int64_t w : {4001, 0, 4000, 1, 2777}) EXPECT_EQ(expectWindowMatches(narrowReference, narrow, w), 1);
}

TEST(WindowDraws, AnyShareOfAWindowsReplicatesGivesTheWholeRunsDecisions) {
    const Shape shape{300, 5000};  // 3,495 replicates a block: two blocks a window
    const std::vector<bool> reference = decisionsFromTheStart(4 * 300 * 5000);
    for (const auto& [w, first, count] : {std::tuple{0, 0, 5000}, std::tuple{3, 0, 5000}, std::tuple{2, 17, 4000},
                                          std::tuple{1, 4999, 1}, std::tuple{3, 1200, 3800}}) {
        WindowDraws draws(shape.families, shape.replicates, w, first, count);
        ExchangeBlock block;
        std::int32_t done = 0;
        while (draws.drawBlock(block)) {
            expectBlockMatches(reference, shape, w, first + done, block);
            done += block.replicates;
        }
        EXPECT_EQ(done, count) << "window " << w << " from replicate " << first;
    }
}

}  // namespace
}  // namespace triotdt::exchange
