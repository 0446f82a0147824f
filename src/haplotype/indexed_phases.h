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
    Inheritance inheritance = Inheritance::autosomal;  // on X only the mothers' parts count
    std::int32_t haplotypeCount = 0;                   // of the window
    std::int32_t inputFamilyCount = 0;                 // families in the input
    std::vector<std::int32_t> inputFamily;             // per family taking part: its place in the input
    std::vector<std::int32_t> codes;                   // the code of each index, ascending
    std::vector<std::int32_t> phaseCount;              // per family
    std::vector<std::size_t> firstCombination;         // per family, and one past the last family
    // Both versions of every combination, by haplotype index: the observed
    // ones, then the exchanged ones (traded at the resolved loci) in the same
    // order. Combination k's exchanged version is at k + versionOffset(true),
    // so the hot loops pick a version by arithmetic, not by a branch.
    std::vector<Combination> combinations;
    // Families whose combinations are the same, in both versions, weigh
    // their combinations alike under every frequency set: each gets the
    // number of its pattern, and each pattern the first family that has it.
    std::vector<std::int32_t> patternOf;      // per family
    std::vector<std::int32_t> patternFamily;  // per pattern

    std::int32_t familyCount() const { return static_cast<std::int32_t>(phaseCount.size()); }
    std::int32_t patternCount() const { return static_cast<std::int32_t>(patternFamily.size()); }
    std::size_t indexCount() const { return codes.size(); }
    std::size_t combinationCount() const { return combinations.size() / 2; }
    std::size_t versionOffset(bool exchanged) const { return static_cast<std::size_t>(exchanged) * combinationCount(); }
    std::span<const Combination> observed() const { return std::span(combinations).first(combinationCount()); }
    std::span<const Combination> observedOf(std::int32_t f) const { return familySlice(f, false); }
    std::span<const Combination> exchangedOf(std::int32_t f) const { return familySlice(f, true); }

private:
    std::span<const Combination> familySlice(std::int32_t f, bool exchanged) const {
        const auto i = static_cast<std::size_t>(f);
        return std::span<const Combination>(combinations)
            .subspan(firstCombination[i] + versionOffset(exchanged), firstCombination[i + 1] - firstCombination[i]);
    }
};

IndexedPhases indexPhases(const PhaseTable& phases, std::int32_t haplotypeCount);

// How many different haplotypes occur in the observed combinations.
std::int32_t countObservedHaplotypes(const IndexedPhases& phases);

}  // namespace triotdt::haplotype
