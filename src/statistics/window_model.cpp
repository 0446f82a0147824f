#include "statistics/window_model.h"

#include <algorithm>

#include "statistics/transmission_statistic.h"

namespace triotdt::statistics {
namespace {

using haplotype::Combination;
using haplotype::IndexedPhases;
using LaneValues = std::array<std::int32_t, lanes>;

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
        model.knownPhaseFamilies.push_back(phases.inputFamily[static_cast<std::size_t>(f)]);
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

StatisticsScratch::StatisticsScratch(const WindowModel& model) : differences(model.carriedOnce.size()) {
    weighted.resize(model.carriedOnce.size());
}

// Punamb of up to `lanes` data sets: versions[j] says which families data set
// j exchanges.
void knownPhaseStatistics(const WindowModel& model, std::span<const Versions> versions,
                          StatisticsScratch& scratch, std::span<double> statistics) {
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
            statistic += transmissionTerm(scratch.differences[h][j], model.carriedOnce[h]);
        }
        statistics[j] = statistic;
    }
}

FourValues weightedStatistics(const WindowModel& model, Versions versions, StatisticsScratch& scratch) {
    weightedTransmissionCounts(*model.phases, model.shares, versions, scratch.weighted);
    return weightedStatistics(scratch.weighted,
                                          homozygotesOf(model.homozygotes, versions, scratch.homozygotes));
}

WindowModel buildWindowModel(const IndexedPhases& phases, const frequency::FrequencySets& sets) {
    WindowModel model;
    model.phases = &phases;
    model.shares = computePhaseShares(phases, sets);
    model.homozygotes = countHomozygotes(phases, model.shares);
    describeKnownPhaseFamilies(phases, model);
    return model;
}

FiveStatistics dataSetStatistics(const WindowModel& model, Versions versions) {
    StatisticsScratch scratch(model);
    const Versions one[1] = {versions};
    FiveStatistics result{};
    knownPhaseStatistics(model, one, scratch, std::span(result.data(), 1));
    const FourValues weighted = weightedStatistics(model, versions, scratch);
    std::copy(weighted.begin(), weighted.end(), result.begin() + 1);
    return result;
}

FiveStatistics observedStatistics(const WindowModel& model) {
    const std::size_t words = versionWords(static_cast<std::size_t>(model.phases->inputFamilyCount));
    const std::vector<std::uint64_t> observed(std::max<std::size_t>(words, 1), 0);
    return dataSetStatistics(model, Versions(observed.data()));
}

}  // namespace triotdt::statistics
