#pragma once

#include <cstdint>
#include <vector>

#include "exchange/draw_batches.h"
#include "exchange/exchange_bits.h"

namespace triotdt::exchange {

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
    bool drawBlock(ExchangeBlock& block);

private:
    std::int32_t familyCount_;
    std::int32_t replicateCount_;
    std::int32_t blockReplicates_;
    std::int32_t replicatesLeft_;
    DrawBatches batches_;
};

}  // namespace triotdt::exchange
