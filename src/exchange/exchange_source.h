#pragma once

// Where the replicates of a window get their exchange bits. A source fills
// blocks of any of a window's replicates, asked for in any order, with the
// same bits for the same window, replicate and family wherever and however
// often it is asked; each thread has a source of its own. So windows, shares
// of a window's replicates and shards of a run may be scored in any order
// and still give the bytes of a whole run. The replicate loop reads only the
// blocks and never knows which source filled them.
//
// The sources, each a type with fill(first, replicates, block):
//   RunStream (run_stream.h)          the run's one stream, window after
//                                     window, put at a window's place by
//                                     jumping; what a run uses by default.
//   CounterStream (counter_stream.h)  Philox4x32-10 of (seed, replicate,
//                                     family): the same bits in every
//                                     window; chosen by a seed in the place.

#include <cstdint>
#include <variant>

#include "exchange/counter_stream.h"
#include "exchange/exchange_bits.h"
#include "exchange/run_stream.h"

namespace triotdt::exchange {

using ExchangeSource = std::variant<RunStream, CounterStream>;

// The source of the window at `place`.
ExchangeSource exchangeSource(const ExchangePlace& place);

// Fills `block` with the exchange bits of replicates [first, first +
// replicates) of the source's window, reusing the block's memory.
void fillExchanges(ExchangeSource& source, std::int32_t first, std::int32_t replicates, ExchangeBlock& block);

// How many replicates one block holds: about a million bits (128 KiB), small
// enough to stay in the cache beside the tables of the replicates.
std::int32_t replicatesPerBlock(const ExchangePlace& place);

}  // namespace triotdt::exchange
