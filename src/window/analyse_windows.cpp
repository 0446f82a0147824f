#include "window/analyse_windows.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

#include "parallel/in_order.h"
#include "resampling/resample.h"
#include "window/prepare_window.h"
#include "window/window_replicates.h"

namespace triotdt::window {
namespace {

// The window of `size` loci from input locus `start`, the `index`-th of a
// whole run.
struct WindowTask {
    std::int32_t size = 1;
    std::int32_t start = 1;
    std::int64_t index = 0;
};

void analyseWindow(const haplotype::FamilyData& data, std::int32_t firstLocusHeld, WindowTask task,
                   const resampling::ResamplingRule& rule, parallel::TaskPool& pool, FinishWindow finish,
                   const std::atomic<int>* stop, familywise::ReplicateMinima* minima) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed) != 0) return finish(WindowResult{});
    std::unique_ptr<PreparedWindow> prepared = prepareWindow(data, task.size, task.start - firstLocusHeld + 1);
    prepared->window.start = task.start;
    if (prepared->skipped()) return finish(takeResult(*prepared, data.replicateCount, {}));
    // The run's stream gives each window the input's R replicates; the
    // counter-based one as many as the rule lets it take.
    const std::int32_t mostReplicates = rule.adaptive() ? rule.maxReplicates : data.replicateCount;
    const exchange::ExchangePlace place{data.familyCount, mostReplicates, task.index, rule.seed};
    scoreWindow(std::move(prepared), place, rule, resampling::firstBatchEnd(rule, data.replicateCount), pool,
                std::move(finish), stop, minima);
}

// The windows of a selection as tasks, numbered in report order.
class WindowTasks {
public:
    explicit WindowTasks(const WindowSelection& selection) : selection_(selection) {}

    // Tasks are asked for in order, so the span and offset only move forwards.
    WindowTask task(std::int64_t number) {
        while (number - passed_ >= spans()[span_].windowCount()) passed_ += spans()[span_++].windowCount();
        const WindowSpan& span = spans()[span_];
        const auto start = static_cast<std::int32_t>(span.firstStart + (number - passed_));
        return {span.size, start, windowIndex(selection_.lociCount, span.size, start)};
    }

private:
    const std::vector<WindowSpan>& spans() const { return selection_.spans; }

    const WindowSelection& selection_;
    std::size_t span_ = 0;
    std::int64_t passed_ = 0;
};

}  // namespace

void analyseWindows(const haplotype::FamilyData& data, const WindowSelection& selection,
                    const resampling::ResamplingRule& rule, parallel::TaskPool& pool, const WriteWindow& write,
                    const std::atomic<int>* stop, familywise::ReplicateMinima* minima) {
    WindowTasks tasks(selection);
    const std::int32_t firstLocusHeld = selection.firstLocusHeld;
    // Enough windows under way for every thread to find one while the
    // calling thread writes.
    const std::size_t windowsUnderWay = 4 * std::size_t{pool.size()} + 2;
    parallel::runInOrder<WindowResult>(
        pool, countWindows(selection.spans), windowsUnderWay,
        [&](std::int64_t i, FinishWindow finish) {
            pool.submit(
                [&data, firstLocusHeld, &rule, &pool, task = tasks.task(i), finish = std::move(finish), stop,
                 minima]() mutable {
                    analyseWindow(data, firstLocusHeld, task, rule, pool, std::move(finish), stop, minima);
                },
                parallel::TaskPool::Place::back);
        },
        [&](std::int64_t, const WindowResult& result) { write(result); });
}

}  // namespace triotdt::window
