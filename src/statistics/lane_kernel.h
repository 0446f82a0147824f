#pragma once

// What the lane kernels see: raw tables and plain types only, so that the
// kernels, compiled for wider vector units in their own files, instantiate
// no inline code that the rest of the program could end up sharing.

#include <cstddef>
#include <cstdint>

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

// One parent's part of a combination: its transmitted and untransmitted
// haplotypes get the four shares of combination `share`, in the lanes of
// `lanes`. A parent whose part is the same in both versions (homozygous at
// the loci exchanged, say) adds once, in every lane; otherwise it adds its
// observed part where its family is not exchanged, then its exchanged part
// where it is.
struct LaneAdd {
    enum Lanes : std::int32_t { every = 0, observed = 1, exchanged = 2 };

    std::int32_t transmitted;
    std::int32_t untransmitted;
    std::int32_t share;
    std::int32_t lanes;
};

struct LaneKernelInput {
    std::size_t familyCount;
    std::size_t indexCount;
    const std::int32_t* inputFamily;    // per family: its place in the input, where its exchange bit is
    const double* shares;               // four sets per combination, both versions
    const LaneAdd* adds;                // per family, in order
    const std::size_t* firstAdd;        // per family, and one past the last
    const double* observedHomozygotes;  // four sets per haplotype
    const LaneHomozygoteChange* changes;
    std::size_t changeCount;
};

// Working tables of one thread: four sets of lanes per haplotype each, and
// per family a byte whose bit j says whether data set j exchanges it.
struct LaneTables {
    LaneBlock* transmit;
    LaneBlock* untransmit;
    LaneBlock* homozygotes;
    std::uint8_t* exchangedIn;
};

// `versionWords[j]`: the exchange bits of data set j. `statistics` receives
// four values per lane, lane after lane.
using LaneKernel = void (*)(const LaneKernelInput& input, const std::uint64_t* const* versionWords,
                            const LaneTables& tables, double* statistics);

void laneKernelBaseline(const LaneKernelInput&, const std::uint64_t* const*, const LaneTables&, double*);
void laneKernelAvx2(const LaneKernelInput&, const std::uint64_t* const*, const LaneTables&, double*);
void laneKernelAvx512(const LaneKernelInput&, const std::uint64_t* const*, const LaneTables&, double*);

}  // namespace triotdt::statistics
