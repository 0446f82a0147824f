#include "resampling/resample.h"

#include <algorithm>
#include <cmath>

#include "frequency/transmission_counts.h"

namespace triotdt::resampling {
namespace {

using haplotype::Combination;
using haplotype::IndexedPhases;

// Below this much work (replicates × (combinations + haplotypes)) a share of
// a window's replicates is not worth a task of its own.
constexpr std::size_t taskWorthyWork = 200000;

// Punamb is worked out for this many replicates side by side, one lane each.
constexpr std::size_t lanes = 8;
using LaneValues = std::array<std::int32_t, lanes>;

// One thread's working tables, sized once per window.
struct Scratch {
    statistics::WeightedCounts weighted;
    std::vector<statistics::FourValues> homozygotes;
    std::vector<LaneValues> differences;

    explicit Scratch(const WindowModel& model) : differences(model.carriedOnce.size()) {
        weighted.resize(model.carriedOnce.size());
    }
};

// Punamb of up to `lanes` data sets: versions[j] says which families data set
// j exchanges.
void knownPhaseStatistics(const WindowModel& model, std::span<const statistics::Versions> versions,
                          Scratch& scratch, std::span<double> statistics) {
    const std::size_t sets = versions.size();
    for (std::size_t h = 0; h < model.observedDifference.size(); ++h) scratch.differences[h].fill(model.observedDifference[h]);
    for (std::size_t i = 0; i < model.knownPhaseFamilies.size(); ++i) {
        const auto f = static_cast<std::size_t>(model.knownPhaseFamilies[i]);
        LaneValues exchanged{};
        for (std::size_t j = 0; j < sets; ++j) exchanged[j] = -static_cast<std::int32_t>(versions[j].exchanged(f));
        for (std::size_t d = model.firstDifference[i]; d < model.firstDifference[i + 1]; ++d) {
            const WindowModel::Difference& difference = model.differences[d];
            LaneValues& lane = scratch.differences[static_cast<std::size_t>(difference.haplotype)];
            for (std::size_t j = 0; j < lanes; ++j) lane[j] += difference.change & exchanged[j];
        }
    }
    for (std::size_t j = 0; j < sets; ++j) {
        // (transmitted − untransmitted)² / (parents carrying it once), as from the counts themselves.
        double statistic = 0.0;
        for (std::size_t h = 0; h < model.carriedOnce.size(); ++h) {
            const double difference = scratch.differences[h][j];
            const double carriers = model.carriedOnce[h];
            statistic += carriers > 0 ? difference * difference / carriers : 0.0;
        }
        statistics[j] = statistic;
    }
}

statistics::FourValues weightedStatistics(const WindowModel& model, statistics::Versions versions, Scratch& scratch) {
    statistics::weightedTransmissionCounts(*model.phases, model.shares, versions, scratch.weighted);
    return statistics::weightedStatistics(scratch.weighted,
                                          statistics::homozygotesOf(model.homozygotes, versions, scratch.homozygotes));
}

// Adds the scores of replicates [first, last) of `block` to `scores`.
void scoreReplicates(const WindowModel& model, const FiveStatistics& observed, const DrawBlock& block,
                     std::int32_t first, std::int32_t last, Scratch& scratch, FiveStatistics& scores) {
    statistics::Versions versions[lanes];
    double punamb[lanes];
    FiveStatistics sum{};  // kept local, so that threads do not share a cache line
    for (std::int32_t r = first; r < last;) {
        const std::size_t sets = std::min<std::size_t>(lanes, static_cast<std::size_t>(last - r));
        for (std::size_t j = 0; j < sets; ++j) {
            versions[j] = statistics::Versions(block.replicate(r + static_cast<std::int32_t>(j)));
        }
        knownPhaseStatistics(model, std::span(versions, sets), scratch, std::span(punamb, sets));
        for (std::size_t j = 0; j < sets; ++j) {
            const statistics::FourValues weighted = weightedStatistics(model, versions[j], scratch);
            sum[0] += exceedanceScore(punamb[j], observed[0]);
            for (std::size_t s = 0; s < weighted.size(); ++s) sum[s + 1] += exceedanceScore(weighted[s], observed[s + 1]);
        }
        r += static_cast<std::int32_t>(sets);
    }
    for (std::size_t s = 0; s < sum.size(); ++s) scores[s] += sum[s];
}

void describeKnownPhaseFamilies(const IndexedPhases& phases, WindowModel& model) {
    const std::size_t size = phases.indexCount();
    model.carriedOnce.assign(size, 0);
    model.observedDifference.assign(size, 0);
    model.firstDifference.push_back(0);
    std::vector<std::int32_t> change(size, 0);
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        if (phases.phaseCount[static_cast<std::size_t>(f)] != 1) continue;
        const Combination& c = phases.observedOf(f)[0];
        for (const auto& [transmitted, untransmitted] :
             {std::pair{c.fatherTransmit, c.fatherUntransmit}, std::pair{c.motherTransmit, c.motherUntransmit}}) {
            if (transmitted == untransmitted) continue;  // a homozygous parent changes nothing
            ++model.carriedOnce[static_cast<std::size_t>(transmitted)];
            ++model.carriedOnce[static_cast<std::size_t>(untransmitted)];
            ++change[static_cast<std::size_t>(transmitted)];
            --change[static_cast<std::size_t>(untransmitted)];
        }
        model.knownPhaseFamilies.push_back(f);
        for (const std::int32_t h : {c.fatherTransmit, c.fatherUntransmit, c.motherTransmit, c.motherUntransmit}) {
            std::int32_t& delta = change[static_cast<std::size_t>(h)];
            if (delta == 0) continue;
            model.observedDifference[static_cast<std::size_t>(h)] += delta;
            // Exchanged, the family's contribution to the difference turns round.
            model.differences.push_back({h, -2 * delta});
            delta = 0;
        }
        model.firstDifference.push_back(model.differences.size());
    }
}

}  // namespace

double exceedanceScore(double replicate, double observed) {
    if (std::fabs(replicate - observed) <= tieTolerance) return 0.5;
    return replicate > observed ? 1.0 : 0.0;
}

WindowModel buildWindowModel(const IndexedPhases& phases, const frequency::FrequencySets& sets) {
    WindowModel model;
    model.phases = &phases;
    model.shares = statistics::computePhaseShares(phases, sets);
    model.homozygotes = statistics::countHomozygotes(phases, model.shares);
    describeKnownPhaseFamilies(phases, model);
    return model;
}

FiveStatistics dataSetStatistics(const WindowModel& model, statistics::Versions versions) {
    Scratch scratch(model);
    const statistics::Versions one[1] = {versions};
    FiveStatistics result{};
    knownPhaseStatistics(model, one, scratch, std::span(result.data(), 1));
    const statistics::FourValues weighted = weightedStatistics(model, versions, scratch);
    std::copy(weighted.begin(), weighted.end(), result.begin() + 1);
    return result;
}

FiveStatistics observedStatistics(const WindowModel& model) {
    const std::size_t words = statistics::versionWords(static_cast<std::size_t>(model.phases->familyCount()));
    const std::vector<std::uint64_t> observed(std::max<std::size_t>(words, 1), 0);
    return dataSetStatistics(model, statistics::Versions(observed.data()));
}

FiveStatistics scoreReplicates(const WindowModel& model, const FiveStatistics& observed, StreamPlace place,
                               std::int32_t first, std::int32_t last) {
    Scratch scratch(model);
    WindowDraws draws(place.familyCount, place.replicateCount, place.windowIndex, first, last - first);
    DrawBlock block;
    FiveStatistics scores{};
    while (draws.drawBlock(block)) scoreReplicates(model, observed, block, 0, block.replicates, scratch, scores);
    return scores;
}

FiveStatistics pValuesOf(const FiveStatistics& scoreSums, std::int32_t replicateCount) {
    FiveStatistics pValues{};
    for (std::size_t s = 0; s < pValues.size(); ++s) pValues[s] = scoreSums[s] / replicateCount;
    return pValues;
}

std::int32_t replicatesPerTask(const WindowModel& model) {
    const std::size_t workPerReplicate = model.phases->combinationCount() + model.phases->indexCount() + 1;
    const std::size_t replicates = (taskWorthyWork + workPerReplicate - 1) / workPerReplicate;
    const std::size_t rounded = (replicates + lanes - 1) / lanes * lanes;
    return static_cast<std::int32_t>(std::min<std::size_t>(rounded, std::size_t{1} << 30));
}

}  // namespace triotdt::resampling
