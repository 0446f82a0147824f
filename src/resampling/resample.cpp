#include "resampling/resample.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "frequency/transmission_counts.h"

namespace triotdt::resampling {
namespace {

using haplotype::Combination;
using haplotype::IndexedPhases;

// Below this much work (replicates × (combinations + haplotypes)) a block is
// not worth starting threads for.
constexpr std::size_t threadWorthyWork = 200000;

// Punamb of up to maxDataSets data sets at once: the counts of the families of
// known phase, one per parent, then the statistic of each set's counts.
void knownPhaseStatistics(const IndexedPhases& phases, std::span<const std::span<const std::uint8_t>> exchanged,
                          std::span<StatisticsScratch* const> scratch, std::span<double> statistics) {
    const std::size_t sets = scratch.size();
    for (StatisticsScratch* s : scratch) {
        std::fill(s->transmitCount.begin(), s->transmitCount.end(), 0);
        std::fill(s->untransmitCount.begin(), s->untransmitCount.end(), 0);
        std::fill(s->homoCount.begin(), s->homoCount.end(), 0);
    }
    for (const std::int32_t f : scratch[0]->knownPhaseFamilies) {
        const std::size_t k = phases.firstCombination[static_cast<std::size_t>(f)];
        for (std::size_t j = 0; j < sets; ++j) {
            const Combination& c = exchanged[j][static_cast<std::size_t>(f)] ? phases.exchanged[k] : phases.observed[k];
            StatisticsScratch& s = *scratch[j];
            ++s.transmitCount[static_cast<std::size_t>(c.fatherTransmit)];
            ++s.transmitCount[static_cast<std::size_t>(c.motherTransmit)];
            ++s.untransmitCount[static_cast<std::size_t>(c.fatherUntransmit)];
            ++s.untransmitCount[static_cast<std::size_t>(c.motherUntransmit)];
            if (c.fatherTransmit == c.fatherUntransmit) ++s.homoCount[static_cast<std::size_t>(c.fatherTransmit)];
            if (c.motherTransmit == c.motherUntransmit) ++s.homoCount[static_cast<std::size_t>(c.motherTransmit)];
        }
    }
    for (std::size_t j = 0; j < sets; ++j) {
        const StatisticsScratch& s = *scratch[j];
        double statistic = 0.0;
        for (std::size_t h = 0; h < s.transmitCount.size(); ++h) {
            statistic += frequency::statisticTerm(s.transmitCount[h], s.untransmitCount[h], s.homoCount[h]);
        }
        statistics[j] = statistic;
    }
}

// The five statistics of up to maxDataSets data sets at once.
void groupStatistics(const IndexedPhases& phases, const statistics::PhaseShares& shares,
                     std::span<const std::span<const std::uint8_t>> exchanged, std::span<StatisticsScratch* const> scratch,
                     std::span<FiveStatistics> results) {
    const std::size_t sets = scratch.size();
    double punamb[statistics::maxDataSets];
    knownPhaseStatistics(phases, exchanged, scratch, std::span<double>(punamb, sets));
    statistics::WeightedCounts* counts[statistics::maxDataSets];
    for (std::size_t j = 0; j < sets; ++j) counts[j] = &scratch[j]->weighted;
    statistics::weightedTransmissionCounts(phases, shares, exchanged,
                                           std::span<statistics::WeightedCounts* const>(counts, sets));
    for (std::size_t j = 0; j < sets; ++j) {
        const statistics::FourValues weighted = statistics::weightedStatistics(scratch[j]->weighted);
        results[j][0] = punamb[j];
        std::copy(weighted.begin(), weighted.end(), results[j].begin() + 1);
    }
}

// Adds the scores of replicates [first, last) of `block` to `scores`, several
// replicates at a time.
void scoreReplicates(const IndexedPhases& phases, const statistics::PhaseShares& shares, const FiveStatistics& observed,
                     const DrawBlock& block, std::int32_t first, std::int32_t last, std::span<StatisticsScratch> scratch,
                     FiveStatistics& scores) {
    const auto familyCount = static_cast<std::size_t>(phases.familyCount());
    StatisticsScratch* group[statistics::maxDataSets];
    for (std::size_t j = 0; j < scratch.size(); ++j) group[j] = &scratch[j];
    std::span<const std::uint8_t> rows[statistics::maxDataSets];
    FiveStatistics results[statistics::maxDataSets];
    FiveStatistics sum{};  // kept local, so that threads do not share a cache line
    for (std::int32_t r = first; r < last;) {
        const std::size_t sets = std::min<std::size_t>(scratch.size(), static_cast<std::size_t>(last - r));
        for (std::size_t j = 0; j < sets; ++j) {
            rows[j] = std::span<const std::uint8_t>(
                block.exchanged.data() + (static_cast<std::size_t>(r) + j) * familyCount, familyCount);
        }
        groupStatistics(phases, shares, std::span(rows, sets), std::span(group, sets), std::span(results, sets));
        for (std::size_t j = 0; j < sets; ++j) {
            for (std::size_t s = 0; s < sum.size(); ++s) sum[s] += exceedanceScore(results[j][s], observed[s]);
        }
        r += static_cast<std::int32_t>(sets);
    }
    for (std::size_t s = 0; s < sum.size(); ++s) scores[s] += sum[s];
}

// How many replicates a thread works on at once: several while their tables
// together stay small enough for the cache.
std::size_t replicatesAtOnce(const IndexedPhases& phases) {
    return phases.indexCount() <= 4096 ? statistics::maxDataSets : 1;
}

}  // namespace

double exceedanceScore(double replicate, double observed) {
    if (std::fabs(replicate - observed) <= tieTolerance) return 0.5;
    return replicate > observed ? 1.0 : 0.0;
}

StatisticsScratch::StatisticsScratch(const IndexedPhases& phases)
    : transmitCount(phases.indexCount()), untransmitCount(phases.indexCount()), homoCount(phases.indexCount()) {
    weighted.resize(phases.indexCount());
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        if (phases.phaseCount[static_cast<std::size_t>(f)] == 1) knownPhaseFamilies.push_back(f);
    }
}

FiveStatistics windowStatistics(const IndexedPhases& phases, const statistics::PhaseShares& shares,
                                std::span<const std::uint8_t> exchanged, StatisticsScratch& scratch) {
    FiveStatistics result{};
    const std::span<const std::uint8_t> rows[1] = {exchanged};
    StatisticsScratch* const group[1] = {&scratch};
    groupStatistics(phases, shares, rows, group, std::span(&result, 1));
    return result;
}

FiveStatistics resampleWindow(const IndexedPhases& phases, const statistics::PhaseShares& shares,
                              const FiveStatistics& observed, ExchangeDraws& draws, unsigned threads) {
    threads = std::max(1u, threads);
    const std::size_t atOnce = replicatesAtOnce(phases);
    std::vector<StatisticsScratch> scratch;
    scratch.reserve(threads * atOnce);
    for (std::size_t t = 0; t < threads * atOnce; ++t) scratch.emplace_back(phases);
    const auto scratchOf = [&](unsigned t) { return std::span<StatisticsScratch>(scratch).subspan(t * atOnce, atOnce); };
    std::vector<FiveStatistics> scores(threads, FiveStatistics{});
    const std::size_t workPerReplicate = phases.observed.size() + phases.indexCount() + 1;

    for (std::int32_t done = 0; done < draws.replicateCount();) {
        DrawBlock block = draws.take();
        const bool spread = threads > 1 && static_cast<std::size_t>(block.replicates) * workPerReplicate >= threadWorthyWork;
        const unsigned used = spread ? std::min<unsigned>(threads, static_cast<unsigned>(block.replicates)) : 1;
        const auto bound = [&](unsigned t) {
            return static_cast<std::int32_t>(std::int64_t{block.replicates} * t / used);
        };
        {
            std::vector<std::jthread> helpers;
            for (unsigned t = 1; t < used; ++t) {
                helpers.emplace_back([&, t] {
                    scoreReplicates(phases, shares, observed, block, bound(t), bound(t + 1), scratchOf(t), scores[t]);
                });
            }
            scoreReplicates(phases, shares, observed, block, 0, bound(1), scratchOf(0), scores[0]);
        }
        done += block.replicates;
        draws.recycle(std::move(block));
    }
    // Scores are multiples of one half far below 2^53, so their sum is exact
    // in any order: the p-values do not depend on the number of threads.
    FiveStatistics pValues{};
    for (std::size_t s = 0; s < pValues.size(); ++s) {
        double count = 0.0;
        for (const FiveStatistics& part : scores) count += part[s];
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
