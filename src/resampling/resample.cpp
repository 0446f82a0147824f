#include "resampling/resample.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace triotdt::resampling {
namespace {

// Below this much work (replicates × (combinations + haplotypes)) a block is
// not worth starting threads for.
constexpr std::size_t threadWorthyWork = 200000;

using statistics::lanes;
// Threads take the replicates of a block this many at a time (a multiple of `lanes`).
constexpr std::int32_t chunkReplicates = 4 * static_cast<std::int32_t>(lanes);

// Each thread's score sums, on a cache line of their own.
struct alignas(64) ThreadScores {
    statistics::FiveStatistics scores{};
};

// Adds the scores of replicates [first, last) of `block` to `scores`.
void scoreReplicates(const statistics::WindowModel& model, const statistics::FiveStatistics& observed,
                     const DrawBlock& block, std::int32_t first, std::int32_t last,
                     statistics::StatisticsScratch& scratch, statistics::FiveStatistics& scores) {
    statistics::Versions versions[lanes];
    double punamb[lanes];
    statistics::FiveStatistics sum{};  // kept local, so that threads do not share a cache line
    for (std::int32_t r = first; r < last;) {
        const std::size_t sets = std::min<std::size_t>(lanes, static_cast<std::size_t>(last - r));
        for (std::size_t j = 0; j < sets; ++j) {
            versions[j] = statistics::Versions(block.replicate(r + static_cast<std::int32_t>(j)));
        }
        statistics::knownPhaseStatistics(model, std::span(versions, sets), scratch, std::span(punamb, sets));
        for (std::size_t j = 0; j < sets; ++j) {
            const statistics::FourValues weighted = statistics::weightedStatistics(model, versions[j], scratch);
            sum[0] += exceedanceScore(punamb[j], observed[0]);
            for (std::size_t s = 0; s < weighted.size(); ++s) sum[s + 1] += exceedanceScore(weighted[s], observed[s + 1]);
        }
        r += static_cast<std::int32_t>(sets);
    }
    for (std::size_t s = 0; s < sum.size(); ++s) scores[s] += sum[s];
}

}  // namespace

double exceedanceScore(double replicate, double observed) {
    if (std::fabs(replicate - observed) <= tieTolerance) return 0.5;
    return replicate > observed ? 1.0 : 0.0;
}

statistics::FiveStatistics resampleWindow(const statistics::WindowModel& model,
                                          const statistics::FiveStatistics& observed, ExchangeDraws& draws,
                                          WorkerPool& pool, const std::atomic<int>* stop) {
    const auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed) != 0; };
    const unsigned threads = pool.size();
    std::vector<statistics::StatisticsScratch> scratch;
    scratch.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) scratch.emplace_back(model);
    std::vector<ThreadScores> scores(threads);
    const std::size_t workPerReplicate = model.phases->combinationCount() + model.phases->indexCount() + 1;

    for (std::int32_t done = 0; done < draws.replicateCount();) {
        if (stopped()) return {};
        DrawBlock block = draws.take();
        if (threads == 1 || static_cast<std::size_t>(block.replicates) * workPerReplicate < threadWorthyWork) {
            for (std::int32_t first = 0; first < block.replicates && !stopped(); first += chunkReplicates) {
                const std::int32_t last = std::min(first + chunkReplicates, block.replicates);
                scoreReplicates(model, observed, block, first, last, scratch[0], scores[0].scores);
            }
        } else {
            // One thread first draws the next block, then all take small
            // chunks of this one as they come free, so that none waits long
            // for the others.
            std::atomic<std::int32_t> next{0};
            std::atomic_flag drawing = ATOMIC_FLAG_INIT;
            pool.runOnAll([&](unsigned worker) {
                if (!drawing.test_and_set()) draws.drawAhead();
                while (!stopped()) {
                    const std::int32_t first = next.fetch_add(chunkReplicates);
                    if (first >= block.replicates) return;
                    const std::int32_t last = std::min(first + chunkReplicates, block.replicates);
                    scoreReplicates(model, observed, block, first, last, scratch[worker], scores[worker].scores);
                }
            });
        }
        done += block.replicates;
        draws.recycle(std::move(block));
    }
    // Scores are multiples of one half far below 2^53, so their sum is exact
    // in any order: the p-values do not depend on which thread scored what.
    statistics::FiveStatistics pValues{};
    for (std::size_t s = 0; s < pValues.size(); ++s) {
        double count = 0.0;
        for (const ThreadScores& part : scores) count += part.scores[s];
        pValues[s] = count / draws.replicateCount();
    }
    return pValues;
}

void skipWindowDraws(ExchangeDraws& draws) {
    for (std::int32_t done = 0; done < draws.replicateCount();) {
        DrawBlock block = draws.take();
        done += block.replicates;
        draws.recycle(std::move(block));
    }
}

}  // namespace triotdt::resampling
