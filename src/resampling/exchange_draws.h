#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "resampling/uniform_random.h"

namespace triotdt::resampling {

// The exchange decisions of some consecutive replicates of one window:
// `exchanged[r × familyCount + f]` is 1 when family f is exchanged in
// replicate r of the block (its draw was 0.5 or less).
struct DrawBlock {
    std::int32_t replicates = 0;
    std::vector<std::uint8_t> exchanged;
};

// The run's one random stream, turned into exchange decisions. Every window
// draws replicateCount × familyCount values, replicate by replicate and family
// by family, whether it is analysed or skipped, so window w always gets the
// same stretch of the stream. A window's decisions come in blocks of at most
// `blockReplicates()` replicates, which bounds the memory they take.
//
// In the background, a thread of its own draws up to a few blocks ahead while
// the replicates of earlier blocks run; the values are the same either way.
class ExchangeDraws {
public:
    ExchangeDraws(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowCount, bool inBackground);
    ~ExchangeDraws();
    ExchangeDraws(const ExchangeDraws&) = delete;
    ExchangeDraws& operator=(const ExchangeDraws&) = delete;

    std::int32_t blockReplicates() const { return blockReplicates_; }
    std::int32_t familyCount() const { return familyCount_; }
    std::int32_t replicateCount() const { return replicateCount_; }

    // The next block in stream order. Give it back with `recycle` when done.
    DrawBlock take();
    void recycle(DrawBlock&& block);

private:
    void produce(std::stop_token stop);
    void fill(DrawBlock& block, std::int32_t replicates);
    std::int32_t nextBlockSize();

    std::int32_t familyCount_;
    std::int32_t replicateCount_;
    std::int64_t blocksLeft_;
    std::int32_t blockReplicates_;
    std::int32_t replicatesLeftInWindow_;
    UniformRandom generator_;
    std::int32_t seed_ = 0;

    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<DrawBlock> ready_;
    std::vector<DrawBlock> spare_;
    std::exception_ptr failure_;
    std::jthread producer_;
};

}  // namespace triotdt::resampling
