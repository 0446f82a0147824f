#pragma once

#include <atomic>
#include <functional>

#include "familywise/replicate_minima.h"
#include "haplotype/family_data.h"
#include "parallel/task_pool.h"
#include "resampling/resampling_rule.h"
#include "window/window_order.h"
#include "window/window_result.h"

namespace triotdt::window {

using WriteWindow = std::function<void(const WindowResult&)>;

// Analyses the windows of `selection`, in report order, on the threads of
// `pool` and hands each result to `write` on the calling thread, in that
// order. A result holds the dense counts and codes, not the phase table nor
// any text, so that results waiting for their turn stay small and a large
// block of tdttran.txt is written as a stream. `data` holds the input's loci from `selection.firstLocusHeld` on (a
// shard reads only its own), so window starts are numbered as in the input.
//
// Each window takes its exchanges from its own place in the stream `rule`
// names (the run's stream, or the counter-based one, where a window's place
// does not matter), so windows run in any order and any selection of them
// gives the bytes of the same windows in a whole run. A window is one task: it is
// prepared, then its replicates are scored in batches (window_replicates.h),
// each on the same thread when it is little work (many small windows keep
// every thread busy side by side), or else shared out in tasks that any
// thread takes up first (a few big windows use every thread too). A bounded number of windows is under way at once,
// which bounds the memory of the results waiting for their turn.
//
// When `stop` is given and becomes non-zero, windows under way end early
// with results that mean nothing: `write` must look at `stop` before writing
// and end the loop by throwing.
//
// With `minima` (family-wise p-values), every window analysed folds its
// first batch of replicates into them as it ends.
void analyseWindows(const haplotype::FamilyData& data, const WindowSelection& selection,
                    const resampling::ResamplingRule& rule, parallel::TaskPool& pool, const WriteWindow& write,
                    const std::atomic<int>* stop = nullptr, familywise::ReplicateMinima* minima = nullptr);

}  // namespace triotdt::window
