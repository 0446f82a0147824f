#pragma once

// The replicates of one window, in batches, on the threads of the pool.
//
// A window reads its replicates in batches, [0, R), then, under the adaptive
// rule, [R, 2R), [2R, 4R) ... until the rule stops it (resampling_rule.h).
// Which replicates a batch reads, and so the bits, the scores and where the
// window stops, depend only on the window's own score sums, never on the
// threads: every thread count and every shard split gives the same bytes.
//
// Who does what, from which thread
//   - scoreWindow() is called by the task that prepared the window. A batch
//     that is little work, or any batch with one thread, is scored right
//     there. A larger one is cut into shares of a few hundred microseconds;
//     shares 1, 2, ... go to the front of the pool's queue, where every
//     thread takes them before new windows, and the calling task scores
//     share 0 itself.
//   - A share writes only its own slot of the batch's score sums. It takes
//     the buffers it scores in (ReplicateBuffers) from the window's stock
//     under the window's lock and puts them back after: a window makes at
//     most one set of buffers per thread, and reuses them for every later
//     share and batch.
//   - The countdown of the batch's shares left (acquire-release) tells the
//     share that ends last, and makes every other share's slot visible to
//     it. That share ends the batch: it adds the slots, in share order, to
//     the window's sums, and either begins the next batch (writing the
//     batch's fields before it submits a share, which submit() orders) or
//     finishes the window, handing its result to `finish`. So the window's
//     sums and batch fields are written by one thread at a time: the one
//     that begins a batch until it submits the shares, then the one that
//     ends it.
//   - With family-wise p-values, each share of the first batch also writes
//     its replicates' statistics into its own range of the window's buffer
//     of R; the share that ends that batch folds the buffer into the run's
//     minima (familywise/replicate_minima.h, under their lock) and lets it
//     go, before any later batch begins.
//   - The window lives as long as a share holds it.
//   - A raised `stop` ends the shares within a few dozen replicates; no
//     batch begins after it, and the window is finished with a result that
//     means nothing.

#include <atomic>
#include <functional>
#include <memory>

#include "exchange/exchange_bits.h"
#include "familywise/replicate_minima.h"
#include "parallel/task_pool.h"
#include "resampling/resampling_rule.h"
#include "window/prepare_window.h"
#include "window/window_result.h"

namespace triotdt::window {

using FinishWindow = std::function<void(WindowResult)>;

// Scores the replicates of `prepared` (a window not skipped) whose exchange
// bits are at `place`, in batches under `rule`, the first ending at
// `firstBatchEnd`, and hands its result to `finish`, on whichever thread
// ends the last batch. With `minima`, the first batch, which must have as
// many replicates, is folded into them, and the result carries the
// window's reference scale and observed depths.
void scoreWindow(std::unique_ptr<PreparedWindow> prepared, const exchange::ExchangePlace& place,
                 const resampling::ResamplingRule& rule, std::int32_t firstBatchEnd, parallel::TaskPool& pool,
                 FinishWindow finish, const std::atomic<int>* stop, familywise::ReplicateMinima* minima = nullptr);

}  // namespace triotdt::window
