#include "exchange/exchange_draws.h"

#include <algorithm>
#include <span>

#include "exchange/exchange_bits.h"
#include "exchange/stream_position.h"

namespace triotdt::exchange {
namespace {

// About a million decisions (128 KiB) a block: small enough to stay in the
// cache beside the tables of the replicates.
constexpr std::int64_t blockDecisions = std::int64_t{1} << 20;

std::int32_t chooseBlockReplicates(std::int32_t familyCount, std::int32_t replicateCount) {
    const std::int64_t fit = blockDecisions / std::max<std::int64_t>(familyCount, 1);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(fit, 1, std::max(replicateCount, 1)));
}

}  // namespace

std::uint64_t firstDrawOfWindow(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowIndex) {
    return static_cast<std::uint64_t>(windowIndex) * static_cast<std::uint64_t>(std::max(replicateCount, 0)) *
           static_cast<std::uint64_t>(std::max(familyCount, 0));
}

WindowDraws::WindowDraws(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowIndex)
    : familyCount_(familyCount),
      replicateCount_(replicateCount),
      blockReplicates_(chooseBlockReplicates(familyCount, replicateCount)),
      replicatesLeft_(std::max(replicateCount, 0)),
      batches_(generatorAfter(firstDrawOfWindow(familyCount, replicateCount, windowIndex))) {}

WindowDraws::WindowDraws(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowIndex,
                         std::int32_t firstReplicate, std::int32_t replicates)
    : familyCount_(familyCount),
      replicateCount_(replicateCount),
      blockReplicates_(chooseBlockReplicates(familyCount, replicateCount)),
      replicatesLeft_(std::max(replicates, 0)),
      batches_(generatorAfter(firstDrawOfWindow(familyCount, replicateCount, windowIndex) +
                              static_cast<std::uint64_t>(std::max(firstReplicate, 0)) *
                                  static_cast<std::uint64_t>(std::max(familyCount, 0)))) {}

bool WindowDraws::drawBlock(ExchangeBlock& block) {
    if (replicatesLeft_ == 0) return false;
    const std::int32_t replicates = std::min(blockReplicates_, replicatesLeft_);
    replicatesLeft_ -= replicates;
    const auto families = static_cast<std::size_t>(std::max(familyCount_, 0));
    block.replicates = replicates;
    block.wordsPerReplicate = ExchangeBits::wordsFor(families);
    block.words.resize(static_cast<std::size_t>(replicates) * block.wordsPerReplicate);
    for (std::int32_t r = 0; r < replicates; ++r) {
        batches_.draw(std::span(block.words)
                          .subspan(static_cast<std::size_t>(r) * block.wordsPerReplicate, block.wordsPerReplicate),
                      families);
    }
    return true;
}

}  // namespace triotdt::exchange
