#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "dispatch/kernel_dispatch.h"
#include "haplotype/indexed_phases.h"
#include "statistics/lane_kernel.h"
#include "statistics/weighted_counts.h"

namespace triotdt::statistics {

// The weighted statistics of several data sets at once, one per vector lane.
// Each lane gets exactly the sums that one data set at a time gives (the
// tests' reference, tests/support/weighted_counts_reference.h), to the last
// bit, so the observed data and every replicate go through these kernels.

// A window's tables as the lane kernels read them; refers to the tables it
// was made from, which must outlive it.
struct LaneModel {
    LaneKernelInput input{};
    std::vector<LaneHomozygoteChange> changes;
    std::vector<LaneAdd> transmitAdds;
    std::vector<std::size_t> firstTransmitAdd;
    std::vector<LaneAdd> untransmitAdds;
    std::vector<std::size_t> firstUntransmitAdd;
};

LaneModel describeForLanes(const haplotype::IndexedPhases& phases, const PhaseShares& shares,
                           const HomozygoteCounts& homozygotes);

// One thread's working tables for a window.
struct LaneScratch {
    std::vector<LaneBlock> homozygotes;
    std::vector<std::uint8_t> exchangedIn;

    LaneScratch(std::size_t indexCount, std::size_t familyCount);
};

inline constexpr dispatch::KernelVariants<LaneKernel> laneKernels{
    {laneKernelBaseline, laneKernelAvx2, laneKernelAvx512}};

// The widest variant this processor runs; all give the same bits.
LaneKernel bestLaneKernel();

// Pg, Pe, Pc and Pem of up to laneCount data sets: exchanges[j] says which
// families data set j exchanges, statistics[j] receives its values.
void weightedStatisticsInLanes(const LaneModel& model, std::span<const exchange::ExchangeBits> exchanges,
                               LaneScratch& scratch, std::span<FourValues> statistics,
                               LaneKernel kernel = bestLaneKernel());

}  // namespace triotdt::statistics
