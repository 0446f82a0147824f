#include "window/analyse_windows.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <utility>

#include "parallel/in_order.h"
#include "resampling/resample.h"
#include "window/prepare_window.h"

namespace triotdt::window {
namespace {

// Takes what the reports need out of a prepared window, which is then spent.
WindowResult takeResult(PreparedWindow& prepared, std::int32_t replicateCount,
                        const statistics::FiveStatistics& pValues) {
    WindowResult result;
    result.start = prepared.window.start;
    result.size = prepared.window.size;
    result.haplotypeCount = prepared.window.haplotypeCount;
    result.skipped = prepared.skipped();
    result.replicateCount = replicateCount;
    if (prepared.skipped()) return result;
    result.emConverged = prepared.frequencies.emConverged;
    result.families = prepared.phases.familyCount();
    result.familiesOfKnownPhase = prepared.frequencies.unambiguousFamilyCount;
    result.distinctHaplotypes = haplotype::countObservedHaplotypes(prepared.phases);
    result.statistics = prepared.observed;
    result.pValues = pValues;
    result.codes = std::move(prepared.phases.codes);
    result.counts = std::move(prepared.frequencies.counts);
    result.haplotypeFreq = std::move(prepared.frequencies.sets.haplotypeFreq);
    return result;
}

using FinishWindow = std::function<void(WindowResult)>;

// A window whose replicates are shared out among tasks: the task that scores
// the last share finishes the window.
struct SharedWindow {
    std::unique_ptr<PreparedWindow> prepared;
    exchange::ExchangePlace place;
    std::int32_t replicatesPerTask = 0;
    std::vector<statistics::FiveStatistics> scores;  // per share
    std::atomic<std::size_t> sharesLeft{0};
    FinishWindow finish;
    const std::atomic<int>* stop = nullptr;
};

void scoreShare(SharedWindow& shared, std::size_t share) {
    const std::int32_t first = static_cast<std::int32_t>(share) * shared.replicatesPerTask;
    const std::int32_t last = std::min(first + shared.replicatesPerTask, shared.place.replicateCount);
    shared.scores[share] = resampling::scoreReplicates(*shared.prepared->model, shared.prepared->observed, shared.place,
                                                       first, last, shared.stop);
    if (shared.sharesLeft.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    statistics::FiveStatistics sums{};
    for (const statistics::FiveStatistics& part : shared.scores) {
        for (std::size_t s = 0; s < sums.size(); ++s) sums[s] += part[s];
    }
    WindowResult result = takeResult(*shared.prepared, shared.place.replicateCount,
                                     resampling::pValuesOf(sums, shared.place.replicateCount));
    shared.prepared.reset();
    shared.finish(std::move(result));
}

// The window of `size` loci from input locus `start`, the `index`-th of a
// whole run.
struct WindowTask {
    std::int32_t size = 1;
    std::int32_t start = 1;
    std::int64_t index = 0;
};

void analyseWindow(const haplotype::FamilyData& data, std::int32_t firstLocusHeld, WindowTask task,
                   const resampling::ResamplingRule& rule, parallel::TaskPool& pool, const FinishWindow& finish,
                   const std::atomic<int>* stop) {
    if (stop != nullptr && stop->load(std::memory_order_relaxed) != 0) return finish(WindowResult{});
    std::unique_ptr<PreparedWindow> prepared = prepareWindow(data, task.size, task.start - firstLocusHeld + 1);
    prepared->window.start = task.start;
    if (prepared->skipped()) return finish(takeResult(*prepared, data.replicateCount, {}));
    const exchange::ExchangePlace stream{data.familyCount, data.replicateCount, task.index, rule.seed};
    const std::int32_t replicates = data.replicateCount;
    const std::int32_t perTask = pool.size() > 1 ? resampling::replicatesPerTask(*prepared->model) : replicates;
    if (perTask >= replicates) {
        const statistics::FiveStatistics sums =
            resampling::scoreReplicates(*prepared->model, prepared->observed, stream, 0, replicates, stop);
        return finish(takeResult(*prepared, replicates, resampling::pValuesOf(sums, replicates)));
    }
    auto shared = std::make_shared<SharedWindow>();
    const auto shares = static_cast<std::size_t>((replicates + perTask - 1) / perTask);
    shared->prepared = std::move(prepared);
    shared->place = stream;
    shared->replicatesPerTask = perTask;
    shared->scores.resize(shares);
    shared->sharesLeft.store(shares, std::memory_order_relaxed);
    shared->finish = finish;
    shared->stop = stop;
    for (std::size_t share = shares; share-- > 1;) {
        pool.submit([shared, share]() { scoreShare(*shared, share); }, parallel::TaskPool::Place::front);
    }
    scoreShare(*shared, 0);
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
                    const std::atomic<int>* stop) {
    WindowTasks tasks(selection);
    const std::int32_t firstLocusHeld = selection.firstLocusHeld;
    // Enough windows under way for every thread to find one while the
    // calling thread writes.
    const std::size_t windowsUnderWay = 4 * std::size_t{pool.size()} + 2;
    parallel::runInOrder<WindowResult>(
        pool, countWindows(selection.spans), windowsUnderWay,
        [&](std::int64_t i, FinishWindow finish) {
            pool.submit([&data, firstLocusHeld, &rule, &pool, task = tasks.task(i), finish = std::move(finish),
                         stop]() { analyseWindow(data, firstLocusHeld, task, rule, pool, finish, stop); },
                        parallel::TaskPool::Place::back);
        },
        [&](std::int64_t, const WindowResult& result) { write(result); });
}

}  // namespace triotdt::window
