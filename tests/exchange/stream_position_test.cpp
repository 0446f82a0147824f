// A generator put at a draw number without drawing, against one plain call
// per draw of the reference generator from the start of the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "exchange/generator.h"
#include "exchange/stream_position.h"
#include "support/uniform_random.h"

namespace triotdt::exchange {
namespace {

testing::AssertionResult sameState(const GeneratorState& expected, const GeneratorState& actual) {
    if (expected.lcgState1 != actual.lcgState1 || expected.lcgState2 != actual.lcgState2 ||
        expected.lcgState3 != actual.lcgState3) {
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

GeneratorState drawnOn(const GeneratorState& generator, std::uint64_t count) {
    test::UniformRandom drawing(generator);
    for (std::uint64_t i = 0; i < count; ++i) drawing.next();
    return drawing.state();
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

    test::UniformRandom sequential;
    std::uint64_t drawn = 0;
    for (const std::uint64_t position : positions) {
        for (; drawn < position; ++drawn) sequential.next();
        ASSERT_TRUE(sameState(sequential.state(), generatorAfter(position))) << "after " << position << " draws";
    }
}

TEST(GeneratorAfter, FarPositionsAgreeWithThePeriodsAndWithDrawingOn) {
    for (const std::uint64_t position : {std::uint64_t{1} << 62, (std::uint64_t{1} << 62) + 12345,
                                         std::uint64_t{10'000'000'000'000}, (std::uint64_t{1} << 63) - 1}) {
        const GeneratorState far = generatorAfter(position);
        // Each congruential generator comes back to its state after its period.
        EXPECT_EQ(far.lcgState1, generatorAfter(position % modulus1).lcgState1) << position;
        EXPECT_EQ(far.lcgState2, generatorAfter(position % modulus2).lcgState2) << position;
        EXPECT_EQ(far.lcgState3, generatorAfter(position % modulus3).lcgState3) << position;
        // The table: jump short of the position and draw the rest.
        for (const std::uint64_t short_ : {std::uint64_t{1}, std::uint64_t{3000}}) {
            EXPECT_TRUE(sameState(drawnOn(generatorAfter(position - short_), short_), far))
                << position << " less " << short_;
        }
    }
}

}  // namespace
}  // namespace triotdt::exchange
