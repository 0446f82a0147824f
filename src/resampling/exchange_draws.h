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

// Every window draws replicateCount × familyCount values, replicate by
// replicate and family by family, whether it is analysed or skipped, so
// window w (0-based, in report order) takes its decisions from this draw of
// the run's stream on.
std::uint64_t firstDrawOfWindow(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowIndex);

// The decisions of one window, drawn from the window's own place in the
// stream: windows can be drawn in any order, on any thread, each with its own
// WindowDraws. They come in blocks of at most `blockReplicates()` replicates,
// which bounds their memory; the blocks split a window the same way wherever
// its drawing started.
class WindowDraws {
public:
    WindowDraws(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowIndex);
    // Only replicates [firstReplicate, firstReplicate + replicates) of the
    // window, drawn from their own place: any split of a window's replicates
    // gives the same decisions.
    WindowDraws(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowIndex,
                std::int32_t firstReplicate, std::int32_t replicates);

    std::int32_t replicateCount() const { return replicateCount_; }
    std::int32_t blockReplicates() const { return blockReplicates_; }
    // Replicates of the current window not drawn yet.
    std::int32_t replicatesLeft() const { return replicatesLeft_; }

    // Draws the next block of the current window into `block`, reusing its
    // memory. Returns false, and leaves `block` alone, when the window is
    // drawn out.
    bool drawBlock(DrawBlock& block);

    // Goes on to the next window, whose draws follow on in the stream, so
    // that no jump is needed. Only once the current window is drawn out.
    void continueWithNextWindow();

private:
    std::int32_t familyCount_;
    std::int32_t replicateCount_;
    std::int32_t blockReplicates_;
    std::int32_t replicatesLeft_;
    UniformRandom generator_;
    std::int32_t seed_ = 1;  // the generator is ready: the seed is no longer used
};

// The decisions of a run of consecutive windows, from `firstWindow` on, in
// stream order: the whole run by default, or a shard of it.
//
// The next block can be drawn ahead (`drawAhead`) by one thread while the
// replicates of the current block run on others; the values are the same
// either way. Not safe for two threads at once: drawAhead and take must not
// overlap.
class ExchangeDraws {
public:
    ExchangeDraws(std::int32_t familyCount, std::int32_t replicateCount, std::int64_t windowCount,
                  std::int64_t firstWindow = 0);

    std::int32_t replicateCount() const { return window_.replicateCount(); }

    // The next block in stream order. Give it back with `recycle` when done.
    DrawBlock take();
    void recycle(DrawBlock&& block);

    // Draws the block after those already drawn, if the run has one more and
    // none is waiting yet.
    void drawAhead();

private:
    WindowDraws window_;
    std::int64_t windowsLeft_;  // counting the current one
    std::deque<DrawBlock> ready_;
    std::vector<DrawBlock> spare_;
};

}  // namespace triotdt::resampling
