#include "resampling/resample.h"

#include <algorithm>
#include <cmath>

#include "exchange/exchange_source.h"

namespace triotdt::resampling {
namespace {

// Below this much work (replicates × (combinations + haplotypes)) a share of
// a window's replicates is not worth a task of its own.
constexpr std::size_t taskWorthyWork = 200000;

using statistics::lanes;
// A request to stop is looked at after this many replicates (a multiple of `lanes`).
constexpr std::int32_t stopCheckReplicates = 4 * static_cast<std::int32_t>(lanes);

// Adds the scores of replicates [first, last) of `block` to `scores`; keeps
// replicate r's statistics at kept[r] when `kept` is given.
void scoreReplicates(const statistics::WindowModel& model, const statistics::FiveStatistics& observed,
                     const exchange::ExchangeBlock& block, std::int32_t first, std::int32_t last,
                     statistics::StatisticsScratch& scratch, statistics::FiveStatistics& scores,
                     statistics::FiveStatistics* kept) {
    exchange::ExchangeBits exchanges[lanes];
    double punamb[lanes];
    statistics::FourValues weighted[lanes];
    statistics::FiveStatistics sum{};  // kept local, so that threads do not share a cache line
    for (std::int32_t r = first; r < last;) {
        const std::size_t sets = std::min<std::size_t>(lanes, static_cast<std::size_t>(last - r));
        for (std::size_t j = 0; j < sets; ++j) {
            exchanges[j] = block.replicate(r + static_cast<std::int32_t>(j));
        }
        statistics::knownPhaseStatistics(model, std::span(exchanges, sets), scratch, std::span(punamb, sets));
        statistics::weightedStatistics(model, std::span(exchanges, sets), scratch, std::span(weighted, sets));
        for (std::size_t j = 0; j < sets; ++j) {
            const statistics::FiveStatistics replicate = statistics::fiveStatistics(punamb[j], weighted[j]);
            for (std::size_t s = 0; s < sum.size(); ++s) sum[s] += exceedanceScore(replicate[s], observed[s]);
            if (kept) kept[r + static_cast<std::int32_t>(j)] = replicate;
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

ReplicateBuffers::ReplicateBuffers(const statistics::WindowModel& model, const exchange::ExchangePlace& place)
    : place(place), scratch(model), source(exchange::exchangeSource(place)) {
    // At its largest from the start, so that no later block grows it.
    block.words.reserve(static_cast<std::size_t>(exchange::replicatesPerBlock(place)) *
                        exchange::ExchangeBits::wordsFor(static_cast<std::size_t>(std::max(place.familyCount, 0))));
}

statistics::FiveStatistics scoreReplicates(const statistics::WindowModel& model,
                                           const statistics::FiveStatistics& observed, std::int32_t first,
                                           std::int32_t last, ReplicateBuffers& buffers, const std::atomic<int>* stop,
                                           statistics::FiveStatistics* kept) {
    const auto stopped = [stop] { return stop != nullptr && stop->load(std::memory_order_relaxed) != 0; };
    const std::int32_t perBlock = exchange::replicatesPerBlock(buffers.place);
    exchange::ExchangeBlock& block = buffers.block;
    statistics::FiveStatistics scores{};
    for (std::int32_t next = first; next < last && !stopped(); next += block.replicates) {
        exchange::fillExchanges(buffers.source, next, std::min(perBlock, last - next), block);
        for (std::int32_t from = 0; from < block.replicates && !stopped(); from += stopCheckReplicates) {
            const std::int32_t to = std::min(from + stopCheckReplicates, block.replicates);
            scoreReplicates(model, observed, block, from, to, buffers.scratch, scores,
                            kept ? kept + (next - first) : nullptr);
        }
    }
    return scores;
}

statistics::FiveStatistics pValuesOf(const statistics::FiveStatistics& scoreSums, std::int32_t replicateCount) {
    statistics::FiveStatistics pValues{};
    for (std::size_t s = 0; s < pValues.size(); ++s) pValues[s] = scoreSums[s] / replicateCount;
    return pValues;
}

std::int32_t replicatesPerTask(const statistics::WindowModel& model) {
    const std::size_t workPerReplicate = model.phases->combinationCount() + model.phases->indexCount() + 1;
    const std::size_t replicates = (taskWorthyWork + workPerReplicate - 1) / workPerReplicate;
    const std::size_t rounded = (replicates + lanes - 1) / lanes * lanes;
    return static_cast<std::int32_t>(std::min<std::size_t>(rounded, std::size_t{1} << 30));
}

}  // namespace triotdt::resampling
