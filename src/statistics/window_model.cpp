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
        for (const haplotype::ParentPart& part : haplotype::transmittingParts(c, phases.inheritance)) {
            if (part.transmitted == part.untransmitted) continue;  // a homozygous parent changes nothing
            ++model.carriedOnce[static_cast<std::size_t>(part.transmitted)];
            ++model.carriedOnce[static_cast<std::size_t>(part.untransmitted)];
            ++change[static_cast<std::size_t>(part.transmitted)];
            --change[static_cast<std::size_t>(part.untransmitted)];
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

// The observed counts of one haplotype under the four sets, transmitted and
// untransmitted side by side as the lane kernels make them: its additions
// that reach a data set exchanging no family, in their order. The others
// add +0.0 in the lanes, which changes no count.
struct ObservedCounts {
    FourValues transmitted{};
    FourValues untransmitted{};
};

inline void addObserved(const LaneKernelInput& in, const LaneAdd& add, FourValues& count) {
    if ((add.flip | add.all) == 0) return;
    const double* share = in.shares + weightedSetCount * static_cast<std::size_t>(add.share);
    for (std::size_t s = 0; s < weightedSetCount; ++s) count[s] += share[s];
}

ObservedCounts observedCounts(const LaneModel& lanes, std::size_t h) {
    ObservedCounts counts;
    const LaneAdd* t = lanes.transmitAdds.data() + lanes.firstTransmitAdd[h];
    const LaneAdd* const tEnd = lanes.transmitAdds.data() + lanes.firstTransmitAdd[h + 1];
    const LaneAdd* u = lanes.untransmitAdds.data() + lanes.firstUntransmitAdd[h];
    const LaneAdd* const uEnd = lanes.untransmitAdds.data() + lanes.firstUntransmitAdd[h + 1];
    for (; t != tEnd && u != uEnd; ++t, ++u) {
        addObserved(lanes.input, *t, counts.transmitted);
        addObserved(lanes.input, *u, counts.untransmitted);
    }
    for (; t != tEnd; ++t) addObserved(lanes.input, *t, counts.transmitted);
    for (; u != uEnd; ++u) addObserved(lanes.input, *u, counts.untransmitted);
    return counts;
}

}  // namespace

StatisticsScratch::StatisticsScratch(const WindowModel& model)
    : differences(model.carriedOnce.size()),
      laneTables(model.carriedOnce.size(), static_cast<std::size_t>(model.phases->familyCount())) {}

// Punamb of up to `lanes` data sets: exchanges[j] says which families data set
// j exchanges.
void knownPhaseStatistics(const WindowModel& model, std::span<const exchange::ExchangeBits> exchanges,
                          StatisticsScratch& scratch, std::span<double> statistics) {
    // Whole lanes at a time: lanes without a data set repeat the first one.
    using IntegerLanes = std::int32_t __attribute__((vector_size(4 * lanes), may_alias));
    using RealLanes = double __attribute__((vector_size(8 * lanes)));
    const std::size_t sets = exchanges.size();
    const std::size_t size = model.carriedOnce.size();
    auto* const differences = reinterpret_cast<IntegerLanes*>(scratch.differences.data());
    for (std::size_t h = 0; h < size; ++h) differences[h] = IntegerLanes{} + model.observedDifference[h];
    exchange::ExchangeBits lane[lanes];
    for (std::size_t j = 0; j < lanes; ++j) lane[j] = exchanges[j < sets ? j : 0];
    for (std::size_t i = 0; i < model.knownPhaseFamilies.size(); ++i) {
        const auto f = static_cast<std::size_t>(model.knownPhaseFamilies[i]);
        IntegerLanes exchanged;
        for (std::size_t j = 0; j < lanes; ++j) {
            exchanged[j] = -static_cast<std::int32_t>(lane[j].exchanged(f));
        }
        for (std::size_t d = model.firstDifference[i]; d < model.firstDifference[i + 1]; ++d) {
            const WindowModel::Difference& difference = model.differences[d];
            differences[static_cast<std::size_t>(difference.haplotype)] += difference.change & exchanged;
        }
    }
    // The terms as from the counts themselves, haplotype after haplotype in
    // every lane.
    RealLanes sum{};
    for (std::size_t h = 0; h < size; ++h) {
        const RealLanes difference = __builtin_convertvector(differences[h], RealLanes);
        addTransmissionTerm(sum, difference, RealLanes{} + model.carriedOnce[h]);
    }
    for (std::size_t j = 0; j < sets; ++j) statistics[j] = sum[j];
    static_assert(sizeof(IntegerLanes) == sizeof(scratch.differences[0]));
}

void weightedStatistics(const WindowModel& model, std::span<const exchange::ExchangeBits> exchanges,
                        StatisticsScratch& scratch, std::span<FourValues> statistics) {
    weightedStatisticsInLanes(model.laneModel, exchanges, scratch.laneTables, statistics);
}

WindowModel buildWindowModel(const IndexedPhases& phases, const frequency::FrequencySets& sets) {
    WindowModel model;
    model.phases = &phases;
    model.shares = computePhaseShares(phases, sets);
    model.homozygotes = countHomozygotes(phases, model.shares);
    model.laneModel = describeForLanes(phases, model.shares, model.homozygotes);
    describeKnownPhaseFamilies(phases, model);
    return model;
}

FiveStatistics dataSetStatistics(const WindowModel& model, exchange::ExchangeBits exchanges) {
    StatisticsScratch scratch(model);
    const exchange::ExchangeBits one[1] = {exchanges};
    double punamb = 0;
    FourValues weighted{};
    knownPhaseStatistics(model, one, scratch, std::span(&punamb, 1));
    weightedStatistics(model, one, scratch, std::span(&weighted, 1));
    return fiveStatistics(punamb, weighted);
}

std::array<std::int32_t, statisticCount> countHaplotypesInSums(const WindowModel& model) {
    std::array<std::int32_t, statisticCount> counts{};
    for (std::size_t h = 0; h < model.carriedOnce.size(); ++h) {
        if (model.carriedOnce[h] > 0) ++counts[indexOf(Statistic::punamb)];
        const ObservedCounts observed = observedCounts(model.laneModel, h);
        for (std::size_t s = 0; s < weightedSetCount; ++s) {
            const double carriedOnce =
                (observed.untransmitted[s] + observed.transmitted[s]) - 2.0 * model.homozygotes.observed[h][s];
            if (carriedOnce > 0) ++counts[indexOf(weightedStatistic[s])];
        }
    }
    return counts;
}

FiveStatistics observedStatistics(const WindowModel& model) {
    const std::size_t words =
        exchange::ExchangeBits::wordsFor(static_cast<std::size_t>(model.phases->inputFamilyCount));
    const std::vector<std::uint64_t> observed(std::max<std::size_t>(words, 1), 0);
    return dataSetStatistics(model, exchange::ExchangeBits(observed.data()));
}

}  // namespace triotdt::statistics
