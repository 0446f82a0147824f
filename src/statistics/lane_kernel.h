#pragma once

// What the lane kernels see: raw tables and plain types only, so that the
// kernels, compiled for wider vector units in their own files, instantiate
// no inline code that the rest of the program could end up sharing (the
// exchange bits' one reader is always inlined).

#include <cstddef>
#include <cstdint>

#include "exchange/exchange_bits.h"

namespace triotdt::statistics {

// Data sets scored side by side, one lane each.
inline constexpr std::size_t laneCount = 8;
static_assert(laneCount <= 8, "a family's lanes are one byte");

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

// One addition to a haplotype's transmitted or untransmitted count: the four
// shares of combination `share`, from family `family` (its place among the
// families taking part), in the lanes (family's exchange bits ^ flip) | all.
// A parent's part is added to the haplotype it transmits and to the one it
// does not; a part the same in both versions (a parent homozygous at the loci
// exchanged, say) adds once, in every lane (all = 0xff); otherwise the
// observed part adds where the family is not exchanged (flip = 0xff), then the
// exchanged part where it is (both 0).
struct LaneAdd {
    std::int32_t family;
    std::int32_t share;
    std::uint32_t flip;
    std::uint32_t all;

    static LaneAdd inEveryLane(std::int32_t family, std::int32_t share) { return {family, share, 0, 0xff}; }
    static LaneAdd whereObserved(std::int32_t family, std::int32_t share) { return {family, share, 0xff, 0}; }
    static LaneAdd whereExchanged(std::int32_t family, std::int32_t share) { return {family, share, 0, 0}; }
};

struct LaneKernelInput {
    std::size_t familyCount;
    std::size_t indexCount;
    const std::int32_t* inputFamily;  // per family: its place in the input, where its exchange bit is
    const double* shares;             // four sets per combination, both versions
    // Per haplotype, its additions in the order one data set at a time
    // makes them (family by family, combination by combination, the father
    // before the mother): to the transmitted count, and to the untransmitted.
    const LaneAdd* transmitAdds;
    const std::size_t* firstTransmitAdd;  // per haplotype, and one past the last
    const LaneAdd* untransmitAdds;
    const std::size_t* firstUntransmitAdd;
    const double* observedHomozygotes;  // four sets per haplotype
    const LaneHomozygoteChange* changes;
    std::size_t changeCount;
};

// Working tables of one thread: four sets of lanes per haplotype, and per
// family a byte whose bit j says whether data set j exchanges it.
struct LaneTables {
    LaneBlock* homozygotes;
    std::uint8_t* exchangedIn;
};

// `exchanges[j]`: the exchange bits of data set j, one per lane. `statistics`
// receives four values per lane, lane after lane.
using LaneKernel = void (*)(const LaneKernelInput& input, const exchange::ExchangeBits* exchanges,
                            const LaneTables& tables, double* statistics);

// The variants of the kernel (dispatch/kernel_dispatch.h).
void laneKernelBaseline(const LaneKernelInput&, const exchange::ExchangeBits*, const LaneTables&, double*);
void laneKernelAvx2(const LaneKernelInput&, const exchange::ExchangeBits*, const LaneTables&, double*);
void laneKernelAvx512(const LaneKernelInput&, const exchange::ExchangeBits*, const LaneTables&, double*);

}  // namespace triotdt::statistics
