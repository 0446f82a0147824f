#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "frequency/transmission_counts.h"
#include "haplotype/family_data.h"
#include "haplotype/window.h"
#include "parallel/task_pool.h"
#include "statistics/five_statistics.h"

namespace triotdt::window {

// What the reports need of an analysed window: the dense counts and codes,
// not the phase table nor any text, so that results waiting for their turn
// stay small and a large block is written as a stream.
struct WindowResult {
    haplotype::Window window;
    bool emConverged = true;
    std::vector<std::int32_t> codes;  // of the haplotypes that occur, ascending
    frequency::CountTables counts;    // by index of `codes`
    std::vector<double> haplotypeFreq;
    std::int32_t families = 0;  // taking part in the window
    std::int32_t familiesOfKnownPhase = 0;
    std::int32_t distinctHaplotypes = 0;
    statistics::FiveStatistics observed{};
    statistics::FiveStatistics pValues{};
};

// Windows of one size analysed one after the other: starts firstStart to
// lastStart, as loci of the input.
struct WindowRun {
    std::int32_t size = 1;
    std::int32_t firstStart = 1;
    std::int32_t lastStart = 0;
    // The first window's place in the report order of a whole run (from 0),
    // which is where its random draws begin; the next start is the next place.
    std::int64_t firstIndex = 0;

    std::int64_t windowCount() const { return lastStart >= firstStart ? std::int64_t{lastStart} - firstStart + 1 : 0; }
};

using WriteWindow = std::function<void(const WindowResult&)>;

// Analyses the windows of `runs`, in their order, on the threads of `pool`
// and hands each result to `write` on the calling thread, in that order.
// `data` holds the input's loci from `firstLocusHeld` on (a shard reads only
// its own), so window starts are numbered as in the input.
//
// Each window takes its exchange decisions from its own place in the run's
// stream, so windows run in any order and any selection of them gives the
// bytes of the same windows in a whole run. A window is one task: it is
// prepared, then its replicates are scored on the same thread when they are
// little work (many small windows keep every thread busy side by side), or
// else shared out in tasks that any thread takes up first (a few big windows
// use every thread too). A bounded number of windows is under way at once,
// which bounds the memory of the results waiting for their turn.
//
// When `stop` is given and becomes non-zero, windows under way end early
// with results that mean nothing: `write` must look at `stop` before writing
// and end the loop by throwing.
void analyseWindows(const haplotype::FamilyData& data, std::int32_t firstLocusHeld, std::span<const WindowRun> runs,
                    parallel::TaskPool& pool, const WriteWindow& write, const std::atomic<int>* stop = nullptr);

}  // namespace triotdt::window
