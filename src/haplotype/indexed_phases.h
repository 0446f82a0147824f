#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "haplotype/phasing.h"

namespace triotdt::haplotype {

// A window's phase combinations with its haplotypes numbered densely: only the
// codes that occur in some family's observed or exchanged combination get an
// index, in increasing code order. Every per-haplotype table of the later
// stages is indexed this way, so their size follows the haplotypes that occur,
// not the window's haplotypeCount, and walking a table in index order is
// walking the haplotypes in code order.
struct IndexedPhases {
    std::int32_t haplotypeCount = 0;            // of the window
    std::vector<std::int32_t> codes;            // the code of each index, ascending
    std::vector<std::int32_t> phaseCount;       // per family
    std::vector<std::size_t> firstCombination;  // per family, and one past the last family
    std::vector<Combination> observed;          // combinations, by index
    std::vector<Combination> exchanged;         // the same, exchanged at the resolved loci

    std::int32_t familyCount() const { return static_cast<std::int32_t>(phaseCount.size()); }
    std::size_t indexCount() const { return codes.size(); }
    std::span<const Combination> observedOf(std::int32_t f) const { return slice(observed, f); }
    std::span<const Combination> exchangedOf(std::int32_t f) const { return slice(exchanged, f); }

private:
    std::span<const Combination> slice(const std::vector<Combination>& all, std::int32_t f) const {
        const auto i = static_cast<std::size_t>(f);
        return std::span<const Combination>(all).subspan(firstCombination[i], firstCombination[i + 1] - firstCombination[i]);
    }
};

IndexedPhases indexPhases(const PhaseTable& phases, std::int32_t haplotypeCount);

}  // namespace triotdt::haplotype
