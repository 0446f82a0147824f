#include "resampling/exchange_draws.h"

#include <algorithm>

namespace triotdt::resampling {
namespace {

// About four million decisions (bytes) a block.
constexpr std::int64_t blockDecisions = std::int64_t{1} << 22;
constexpr std::size_t blocksAhead = 3;

std::int32_t chooseBlockReplicates(std::int32_t familyCount, std::int32_t replicateCount) {
    const std::int64_t fit = blockDecisions / std::max<std::int64_t>(familyCount, 1);
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(fit, 1, std::max(replicateCount, 1)));
}

}  // namespace

ExchangeDraws::ExchangeDraws(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowCount,
                             bool inBackground)
    : familyCount_(familyCount),
      replicateCount_(replicateCount),
      blockReplicates_(chooseBlockReplicates(familyCount, replicateCount)),
      replicatesLeftInWindow_(replicateCount) {
    const std::int64_t blocksPerWindow = (std::int64_t{replicateCount} + blockReplicates_ - 1) / blockReplicates_;
    blocksLeft_ = windowCount * blocksPerWindow;
    if (inBackground && blocksLeft_ > 0) producer_ = std::jthread([this](std::stop_token stop) { produce(stop); });
}

ExchangeDraws::~ExchangeDraws() {
    if (producer_.joinable()) {
        producer_.request_stop();
        changed_.notify_all();
    }
}

std::int32_t ExchangeDraws::nextBlockSize() {
    const std::int32_t size = std::min(blockReplicates_, replicatesLeftInWindow_);
    replicatesLeftInWindow_ -= size;
    if (replicatesLeftInWindow_ == 0) replicatesLeftInWindow_ = replicateCount_;
    --blocksLeft_;
    return size;
}

void ExchangeDraws::fill(DrawBlock& block, std::int32_t replicates) {
    block.replicates = replicates;
    block.exchanged.resize(static_cast<std::size_t>(replicates) * static_cast<std::size_t>(familyCount_));
    drawExchangeDecisions(generator_, seed_, block.exchanged);
}

void ExchangeDraws::produce(std::stop_token stop) {
    try {
        while (blocksLeft_ > 0) {
            DrawBlock block;
            {
                std::unique_lock lock(mutex_);
                if (!changed_.wait(lock, stop, [&] { return ready_.size() < blocksAhead; })) return;
                if (!spare_.empty()) {
                    block = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            fill(block, nextBlockSize());
            {
                std::lock_guard lock(mutex_);
                ready_.push_back(std::move(block));
            }
            changed_.notify_all();
        }
    } catch (...) {
        std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
        changed_.notify_all();
    }
}

DrawBlock ExchangeDraws::take() {
    if (!producer_.joinable()) {
        DrawBlock block;
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        }
        fill(block, nextBlockSize());
        return block;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || failure_; });
    if (ready_.empty()) std::rethrow_exception(failure_);
    DrawBlock block = std::move(ready_.front());
    ready_.pop_front();
    lock.unlock();
    changed_.notify_all();
    return block;
}

void ExchangeDraws::recycle(DrawBlock&& block) {
    std::lock_guard lock(mutex_);
    spare_.push_back(std::move(block));
}

}  // namespace triotdt::resampling
