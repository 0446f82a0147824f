#pragma once

#include <cstdint>
#include <optional>

#include "exchange/draw_batches.h"
#include "exchange/exchange_bits.h"

namespace triotdt::exchange {

// The run's one stream of draws, window after window in report order: every
// window takes replicateCount × familyCount draws, replicate by replicate
// and family by family (one per family of the input, taking part or not),
// whether it is analysed or skipped, so window w's draws begin at draw
// w × replicateCount × familyCount. A family is exchanged where its draw is
// 0.5 or less. The generator is put at any draw by jumping
// (stream_position.h) and draws on from there while it is asked for the
// replicates in order.
class RunStream {
public:
    explicit RunStream(const ExchangePlace& place);

    // Replicates [first, first + replicates) of the window, within its
    // replicateCount: the draws beyond are the next window's.
    void fill(std::int32_t first, std::int32_t replicates, ExchangeBlock& block);

private:
    ExchangePlace place_;
    std::int32_t next_ = -1;  // the replicate the batches stand at; none yet
    std::optional<DrawBatches> batches_;
};

}  // namespace triotdt::exchange
