// The exchange bits of a window's replicates, each range drawn from its own
// place in the stream, against one draw at a time of the reference generator
// from the start of the run.
#include "exchange/run_stream.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "exchange/exchange_source.h"
#include "support/uniform_random.h"

namespace triotdt::exchange {
namespace {

// One bit per draw, from the start of the run.
std::vector<bool> exchangesFromTheStart(std::uint64_t count) {
    std::vector<bool> exchanged(count);
    test::UniformRandom generator;
    for (std::uint64_t i = 0; i < count; ++i) exchanged[i] = generator.nextExchanged();
    return exchanged;
}

// Fills replicates [first, first + count) of the window at `place` from
// `stream`, block by block as the replicate loop does, and checks every bit
// of every block against `reference`; returns how many blocks it took.
int expectRangeMatches(const std::vector<bool>& reference, const ExchangePlace& place, RunStream& stream,
                       std::int32_t first, std::int32_t count) {
    const std::int32_t perBlock = replicatesPerBlock(place);
    const auto families = static_cast<std::uint64_t>(place.familyCount);
    ExchangeBlock block;
    int blocks = 0;
    for (std::int32_t next = first; next < first + count; next += block.replicates, ++blocks) {
        stream.fill(next, std::min(perBlock, first + count - next), block);
        EXPECT_EQ(block.wordsPerReplicate, (families + 63) / 64);
        for (std::int32_t r = 0; r < block.replicates; ++r) {
            // Window w's draws begin at draw w × replicateCount × familyCount.
            const std::uint64_t start = (static_cast<std::uint64_t>(place.windowIndex * place.replicateCount) +
                                         static_cast<std::uint64_t>(next + r)) *
                                        families;
            for (std::size_t f = 0; f < block.wordsPerReplicate * 64; ++f) {
                const bool expected = f < families && reference[start + f];
                if (block.replicate(r).exchanged(f) != (expected ? 1u : 0u)) {
                    ADD_FAILURE() << "window " << place.windowIndex << ", replicate " << next + r << ", family " << f;
                    return blocks;
                }
            }
        }
    }
    return blocks;
}

TEST(RunStream, EachWindowFromItsOwnPlaceGivesTheBitsOfTheWholeRunsStream) {
    // Many families: a window takes several blocks, the last one shorter.
    const std::vector<bool> wideReference = exchangesFromTheStart(3 * 5000 * 500);
    for (const std::int64_t w : {2, 0, 1}) {
        RunStream stream({5000, 500, w, {}});
        EXPECT_GT(expectRangeMatches(wideReference, {5000, 500, w, {}}, stream, 0, 500), 2) << w;
    }
    // Few families: one block a window, and a window far into the stream.
    const std::vector<bool> narrowReference = exchangesFromTheStart(4002 * 70 * 9);
    for (const std::int64_t w : {4001, 0, 4000, 1, 2777}) {
        RunStream stream({70, 9, w, {}});
        EXPECT_EQ(expectRangeMatches(narrowReference, {70, 9, w, {}}, stream, 0, 9), 1) << w;
    }
}

TEST(RunStream, AnyShareOfAWindowsReplicatesInAnyOrderGivesTheWholeRunsBits) {
    // 3,495 replicates a block: two blocks a window.
    const std::vector<bool> reference = exchangesFromTheStart(4 * 300 * 5000);
    std::map<std::int64_t, RunStream> streams;
    for (const auto& [w, first, count] : {std::tuple{0, 0, 5000}, std::tuple{3, 0, 5000}, std::tuple{2, 17, 4000},
                                          std::tuple{1, 4999, 1}, std::tuple{3, 1200, 3800}, std::tuple{2, 0, 17}}) {
        const ExchangePlace place{300, 5000, w, {}};
        RunStream& stream = streams.try_emplace(w, place).first->second;
        expectRangeMatches(reference, place, stream, first, count);
    }
    // Beyond the window's replicates lie the next window's draws.
    ExchangeBlock block;
    EXPECT_THROW(streams.at(0).fill(4999, 2, block), std::logic_error);
}

}  // namespace
}  // namespace triotdt::exchange
