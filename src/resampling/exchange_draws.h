#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "resampling/uniform_random.h"

namespace triotdt::resampling {

// The exchange decisions of some consecutive replicates of one window, one
// bit per family (set: exchanged, its draw was 0.5 or less); replicate r's
// bits start at word r × wordsPerReplicate.
struct DrawBlock {
    std::int32_t replicates = 0;
    std::size_t wordsPerReplicate = 0;
    std::vector<std::uint64_t> exchanged;

    const std::uint64_t* replicate(std::int32_t r) const {
        return exchanged.data() + static_cast<std::size_t>(r) * wordsPerReplicate;
    }
};

// The run's one random stream, turned into exchange decisions. Every window
// draws replicateCount × familyCount values, replicate by replicate and family
// by family, whether it is analysed or skipped, so window w always gets the
// same stretch of the stream. A window's decisions come in blocks of at most
// `blockReplicates()` replicates, which bounds the memory they take.
//
// The next block can be drawn ahead (`drawAhead`) by one thread while the
// replicates of the current block run on others; the values are the same
// either way. Not safe for two threads at once: drawAhead and take must not
// overlap.
class ExchangeDraws {
public:
    ExchangeDraws(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowCount);

    std::int32_t replicateCount() const { return replicateCount_; }

    // The next block in stream order. Give it back with `recycle` when done.
    DrawBlock take();
    void recycle(DrawBlock&& block);

    // Draws the block after those already drawn, if the run has one more and
    // none is waiting yet.
    void drawAhead();

private:
    void drawNext(DrawBlock& block);

    std::int32_t familyCount_;
    std::int32_t replicateCount_;
    std::int32_t blockReplicates_;
    std::int64_t blocksLeft_;
    std::int32_t replicatesLeftInWindow_;
    UniformRandom generator_;
    std::int32_t seed_ = 0;
    std::deque<DrawBlock> ready_;
    std::vector<DrawBlock> spare_;
};

}  // namespace triotdt::resampling
