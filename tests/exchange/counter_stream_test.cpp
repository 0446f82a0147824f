// The counter-based stream: Philox4x32-10 against its published known-answer
// vectors, and the exchange bits of any replicates against Philox one bit at
// a time.
#include "exchange/counter_stream.h"

#include <gtest/gtest.h>

#include "exchange/exchange_source.h"
#include "support/philox_reference.h"

namespace triotdt::exchange {
namespace {

// Random123's known-answer vectors for philox4x32-10: counter, key, result.
struct KnownAnswer {
    PhiloxWords counter;
    PhiloxKey key;
    PhiloxWords result;
};
constexpr KnownAnswer knownAnswers[] = {
    {{0, 0, 0, 0}, {0, 0}, {0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}},
    {{0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff},
     {0xffffffff, 0xffffffff},
     {0x408f276d, 0x41c83b0e, 0xa20bc7c6, 0x6d5451fd}},
    {{0x243f6a88, 0x85a308d3, 0x13198a2e, 0x03707344},
     {0xa4093822, 0x299f31d0},
     {0xd16cfe09, 0x94fdcceb, 0x5001e420, 0x24126ea1}},
};

TEST(Philox, GivesThePublishedKnownAnswersAsDoesTheReference) {
    for (const KnownAnswer& answer : knownAnswers) {
        EXPECT_EQ(philox(answer.counter, answer.key), answer.result);
        EXPECT_EQ(test::philoxReference(answer.counter, answer.key), answer.result);
    }
}

// Every bit of replicates [first, first + count), the bits beyond the last
// family included, against the reference.
void expectBitsOfReference(std::uint64_t seed, std::int32_t families, std::int64_t window, std::int32_t first,
                           std::int32_t count) {
    const ExchangePlace place{families, 1000, window, seed};
    ExchangeSource source = exchangeSource(place);
    ASSERT_TRUE(std::holds_alternative<CounterStream>(source));
    ExchangeBlock block;
    fillExchanges(source, first, count, block);
    ASSERT_EQ(block.replicates, count);
    ASSERT_EQ(block.wordsPerReplicate, ExchangeBits::wordsFor(static_cast<std::size_t>(families)));
    for (std::int32_t r = 0; r < count; ++r) {
        for (std::size_t f = 0; f < block.wordsPerReplicate * 64; ++f) {
            const bool expected = f < static_cast<std::size_t>(families) &&
                                  test::exchangedReference(seed, static_cast<std::uint64_t>(first + r), f);
            if (block.replicate(r).exchanged(f) != (expected ? 1u : 0u)) {
                ADD_FAILURE() << "seed " << seed << ", " << families << " families, replicate " << first + r
                              << ", family " << f;
                return;
            }
        }
    }
}

TEST(CounterStream, AnyReplicatesOfAnyWindowGiveTheReferencesBits) {
    // Family counts around the 64-bit words and the 128-family counters; a
    // seed with both key words set; windows far apart (the window plays no
    // part); replicates asked for from anywhere.
    for (const std::int32_t families : {1, 63, 64, 65, 127, 128, 129, 300, 1000}) {
        expectBitsOfReference(0, families, 0, 0, 5);
        expectBitsOfReference(0x123456789abcdefULL, families, 7, 9000, 3);
    }
    expectBitsOfReference(2, 200, 123456, 2000000000, 4);
    // Replicate 0 of seed 0 holds the first known answer: families 0 to 31
    // are the bits of 6627e8d5, family 0 lowest.
    ExchangeBlock block;
    CounterStream({40, 1, 0, 0}).fill(0, 1, block);
    EXPECT_EQ(block.words[0] & 0xffffffffu, 0x6627e8d5u);
}

}  // namespace
}  // namespace triotdt::exchange
