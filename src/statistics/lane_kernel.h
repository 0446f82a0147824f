#pragma once

// What the lane kernels see: raw tables and plain types only, so that the
// kernels, compiled for wider vector units in their own files, instantiate
// no inline code that the rest of the program could end up sharing.

#include <cstddef>
#include <cstdint>

namespace triotdt::statistics {

// Data sets scored side by side, one lane each.
inline constexpr std::size_t laneCount = 8;

struct alignas(64) LaneBlock {
    double value[laneCount];
};

// A family of known phase whose homozygous parent counts differently when it
// is exchanged: `difference` (per set) is added where it is.
struct LaneHomozygoteChange {
    std::size_t family;
    std::size_t haplotype;
    double difference[4];
};

struct LaneKernelInput {
    std::size_t familyCount;
    std::size_t indexCount;
    std::size_t exchangedOffset;          // combination k's exchanged version is at k + exchangedOffset
    const std::size_t* firstCombination;  // per family, and one past the last
    const std::int32_t* inputFamily;      // per family: its place in the input, where its exchange bit is
    const std::int32_t* combinations;     // FT, FU, MT, MU per combination, both versions
    const double* shares;                 // four sets per combination, both versions
    const double* observedHomozygotes;    // four sets per haplotype
    const LaneHomozygoteChange* changes;
    std::size_t changeCount;
};

// Working tables of one thread: four sets of lanes per haplotype each.
struct LaneTables {
    LaneBlock* transmit;
    LaneBlock* untransmit;
    LaneBlock* homozygotes;
};

// `versionWords[j]`: the exchange bits of data set j. `statistics` receives
// four values per lane, lane after lane.
using LaneKernel = void (*)(const LaneKernelInput& input, const std::uint64_t* const* versionWords,
                            const LaneTables& tables, double* statistics);

void laneKernelBaseline(const LaneKernelInput&, const std::uint64_t* const*, const LaneTables&, double*);
void laneKernelAvx2(const LaneKernelInput&, const std::uint64_t* const*, const LaneTables&, double*);
void laneKernelAvx512(const LaneKernelInput&, const std::uint64_t* const*, const LaneTables&, double*);

}  // namespace triotdt::statistics
