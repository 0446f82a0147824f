#include "resampling/exchange_draws.h"

#include <algorithm>

namespace triotdt::resampling {
namespace {

// About a million decisions (128 KiB) a block: small enough to stay in the
// cache beside the tables of the replicates.
constexpr std::int64_t blockDecisions = std::int64_t{1} << 20;

std::int32_t chooseBlockReplicates(std::int32_t familyCount, std::int32_t replicateCount) {
    const std::int64_t fit = blockDecisions / std::max<std::int64_t>(familyCount, 1);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(fit, 1, std::max(replicateCount, 1)));
}

}  // namespace

ExchangeDraws::ExchangeDraws(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowCount)
    : familyCount_(familyCount),
      replicateCount_(replicateCount),
      blockReplicates_(chooseBlockReplicates(familyCount, replicateCount)),
      replicatesLeftInWindow_(replicateCount) {
    const std::int64_t blocksPerWindow = (std::int64_t{replicateCount} + blockReplicates_ - 1) / blockReplicates_;
    blocksLeft_ = windowCount * blocksPerWindow;
}

void ExchangeDraws::drawNext(DrawBlock& block) {
    const std::int32_t replicates = std::min(blockReplicates_, replicatesLeftInWindow_);
    replicatesLeftInWindow_ -= replicates;
    if (replicatesLeftInWindow_ == 0) replicatesLeftInWindow_ = replicateCount_;
    --blocksLeft_;
    const auto families = static_cast<std::size_t>(familyCount_);
    block.replicates = replicates;
    block.wordsPerReplicate = (families + 63) / 64;
    block.exchanged.resize(static_cast<std::size_t>(replicates) * block.wordsPerReplicate);
    for (std::int32_t r = 0; r < replicates; ++r) {
        drawExchangeDecisions(generator_, seed_,
                              std::span(block.exchanged).subspan(static_cast<std::size_t>(r) * block.wordsPerReplicate,
                                                                 block.wordsPerReplicate),
                              families);
    }
}

void ExchangeDraws::drawAhead() {
    if (!ready_.empty() || blocksLeft_ <= 0) return;
    DrawBlock block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
    }
    drawNext(block);
    ready_.push_back(std::move(block));
}

DrawBlock ExchangeDraws::take() {
    drawAhead();
    DrawBlock block = std::move(ready_.front());
    ready_.pop_front();
    return block;
}

void ExchangeDraws::recycle(DrawBlock&& block) { spare_.push_back(std::move(block)); }

}  // namespace triotdt::resampling
