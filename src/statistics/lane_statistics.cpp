#include "statistics/lane_statistics.h"

#include <stdexcept>
#include <utility>

namespace triotdt::statistics {
namespace {

// A parent's part: what it adds to the haplotype it transmits and the one it
// does not.
struct PartAdd {
    std::int32_t transmitted;
    std::int32_t untransmitted;
    LaneAdd add;
};

// Every family's parent parts, combination by combination, the father's
// before the mother's (on X the mother's alone): the order one data set at a
// time adds them in.
std::vector<PartAdd> listParentParts(const haplotype::IndexedPhases& phases, const PhaseShares& shares) {
    const std::size_t offset = phases.versionOffset(true);
    std::vector<PartAdd> parts;
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const auto i = static_cast<std::size_t>(f);
        for (std::size_t k = phases.firstCombination[i]; k < phases.firstCombination[i + 1]; ++k) {
            const haplotype::TransmittingParts observed =
                haplotype::transmittingParts(phases.combinations[k], phases.inheritance);
            const haplotype::TransmittingParts exchanged =
                haplotype::transmittingParts(phases.combinations[k + offset], phases.inheritance);
            const bool sameShares = shares.shares[k] == shares.shares[k + offset];
            const auto share = [](std::size_t c) { return static_cast<std::int32_t>(c); };
            for (std::size_t p = 0; p < observed.count; ++p) {
                const haplotype::ParentPart& o = observed.parts[p];
                const haplotype::ParentPart& e = exchanged.parts[p];
                if (sameShares && o == e) {
                    parts.push_back({o.transmitted, o.untransmitted, LaneAdd::inEveryLane(f, share(k))});
                    continue;
                }
                parts.push_back({o.transmitted, o.untransmitted, LaneAdd::whereObserved(f, share(k))});
                parts.push_back({e.transmitted, e.untransmitted, LaneAdd::whereExchanged(f, share(k + offset))});
            }
        }
    }
    return parts;
}

// The parts' additions sorted by haplotype, keeping their order within each:
// every count then receives its additions in the order one data set at a
// time gives them.
void listByHaplotype(const std::vector<PartAdd>& parts, std::size_t indexCount, bool transmitted,
                     std::vector<LaneAdd>& adds, std::vector<std::size_t>& first) {
    const auto haplotypeOf = [transmitted](const PartAdd& part) {
        return static_cast<std::size_t>(transmitted ? part.transmitted : part.untransmitted);
    };
    first.assign(indexCount + 1, 0);
    for (const PartAdd& part : parts) ++first[haplotypeOf(part) + 1];
    for (std::size_t h = 0; h < indexCount; ++h) first[h + 1] += first[h];
    adds.resize(parts.size());
    std::vector<std::size_t> next(first.begin(), first.end() - 1);
    for (const PartAdd& part : parts) adds[next[haplotypeOf(part)]++] = part.add;
}

}  // namespace

LaneModel describeForLanes(const haplotype::IndexedPhases& phases, const PhaseShares& shares,
                           const HomozygoteCounts& homozygotes) {
    static_assert(sizeof(FourValues) == 4 * sizeof(double));
    LaneModel model;
    for (const HomozygoteCounts::Change& change : homozygotes.changes) {
        LaneHomozygoteChange flat{
            static_cast<std::size_t>(change.family), static_cast<std::size_t>(change.haplotype), {}};
        for (std::size_t s = 0; s < weightedSetCount; ++s) flat.difference[s] = change.difference[s];
        model.changes.push_back(flat);
    }
    model.input.familyCount = static_cast<std::size_t>(phases.familyCount());
    model.input.indexCount = phases.indexCount();
    model.input.inputFamily = phases.inputFamily.data();
    // A window without families has no combinations: no element is touched
    // to take these addresses.
    model.input.shares = reinterpret_cast<const double*>(shares.shares.data());
    model.input.observedHomozygotes = reinterpret_cast<const double*>(homozygotes.observed.data());
    model.input.changes = model.changes.data();
    model.input.changeCount = model.changes.size();
    const std::vector<PartAdd> parts = listParentParts(phases, shares);
    listByHaplotype(parts, phases.indexCount(), true, model.transmitAdds, model.firstTransmitAdd);
    listByHaplotype(parts, phases.indexCount(), false, model.untransmitAdds, model.firstUntransmitAdd);
    model.input.transmitAdds = model.transmitAdds.data();
    model.input.firstTransmitAdd = model.firstTransmitAdd.data();
    model.input.untransmitAdds = model.untransmitAdds.data();
    model.input.firstUntransmitAdd = model.firstUntransmitAdd.data();
    return model;
}

LaneScratch::LaneScratch(std::size_t indexCount, std::size_t familyCount)
    : homozygotes(indexCount * weightedSetCount), exchangedIn(familyCount) {}

LaneKernel bestLaneKernel() {
    static const LaneKernel best = laneKernels.best();
    return best;
}

void weightedStatisticsInLanes(const LaneModel& model, std::span<const exchange::ExchangeBits> exchanges,
                               LaneScratch& scratch, std::span<FourValues> statistics, LaneKernel kernel) {
    if (exchanges.empty() || exchanges.size() > laneCount || statistics.size() < exchanges.size()) {
        throw std::logic_error("lane statistics: between 1 and laneCount data sets");
    }
    // Lanes without a data set of their own repeat the first.
    exchange::ExchangeBits lanes[laneCount];
    for (std::size_t j = 0; j < laneCount; ++j) lanes[j] = exchanges[j < exchanges.size() ? j : 0];
    double values[laneCount * weightedSetCount];
    kernel(model.input, lanes, LaneTables{scratch.homozygotes.data(), scratch.exchangedIn.data()}, values);
    for (std::size_t j = 0; j < exchanges.size(); ++j) {
        for (std::size_t s = 0; s < weightedSetCount; ++s) statistics[j][s] = values[j * weightedSetCount + s];
    }
}

}  // namespace triotdt::statistics
