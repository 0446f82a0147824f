#include "statistics/lane_statistics.h"

#include <stdexcept>

namespace triotdt::statistics {

LaneModel describeForLanes(const haplotype::IndexedPhases& phases, const PhaseShares& shares,
                           const HomozygoteCounts& homozygotes) {
    static_assert(sizeof(haplotype::Combination) == 4 * sizeof(std::int32_t));
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
    model.input.exchangedOffset = phases.versionOffset(true);
    model.input.firstCombination = phases.firstCombination.data();
    model.input.inputFamily = phases.inputFamily.data();
    // A window without families has no combinations: no element is touched
    // to take these addresses.
    model.input.combinations = reinterpret_cast<const std::int32_t*>(phases.combinations.data());
    model.input.shares = reinterpret_cast<const double*>(shares.shares.data());
    model.input.observedHomozygotes = reinterpret_cast<const double*>(homozygotes.observed.data());
    model.input.changes = model.changes.data();
    model.input.changeCount = model.changes.size();
    return model;
}

LaneScratch::LaneScratch(std::size_t indexCount)
    : transmit(indexCount * weightedSetCount),
      untransmit(indexCount * weightedSetCount),
      homozygotes(indexCount * weightedSetCount) {}

std::vector<NamedLaneKernel> runnableLaneKernels() {
    std::vector<NamedLaneKernel> kernels{{"baseline", laneKernelBaseline}};
#if defined(TRIOTDT_LANE_KERNELS_X86)
    if (__builtin_cpu_supports("avx2")) kernels.push_back({"avx2", laneKernelAvx2});
    if (__builtin_cpu_supports("avx512f")) kernels.push_back({"avx512", laneKernelAvx512});
#endif
    return kernels;
}

LaneKernel bestLaneKernel() {
    static const LaneKernel best = runnableLaneKernels().back().kernel;
    return best;
}

void weightedStatisticsInLanes(const LaneModel& model, std::span<const Versions> versions, LaneScratch& scratch,
                               std::span<FourValues> statistics, LaneKernel kernel) {
    if (versions.empty() || versions.size() > laneCount || statistics.size() < versions.size()) {
        throw std::logic_error("lane statistics: between 1 and laneCount data sets");
    }
    // Lanes without a data set of their own repeat the first.
    const std::uint64_t* words[laneCount];
    for (std::size_t j = 0; j < laneCount; ++j) words[j] = versions[j < versions.size() ? j : 0].words();
    double values[laneCount * weightedSetCount];
    kernel(model.input, words,
           LaneTables{scratch.transmit.data(), scratch.untransmit.data(), scratch.homozygotes.data()}, values);
    for (std::size_t j = 0; j < versions.size(); ++j) {
        for (std::size_t s = 0; s < weightedSetCount; ++s) statistics[j][s] = values[j * weightedSetCount + s];
    }
}

}  // namespace triotdt::statistics
