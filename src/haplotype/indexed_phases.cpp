#include "haplotype/indexed_phases.h"

#include <algorithm>

namespace triotdt::haplotype {
namespace {

// A table with one entry per code costs a pass over every code of the window;
// below this many codes per listed haplotype (or this many codes in all) that
// pass is cheaper than sorting the list.
constexpr std::int64_t directCodesPerHaplotype = 4;
constexpr std::int64_t directCodesAlways = 1 << 16;

template <typename IndexOf>
void renumber(const std::vector<Combination>& combinations, IndexOf indexOf, std::vector<Combination>& indexed) {
    for (const Combination& c : combinations) {
        indexed.push_back({indexOf(c.fatherTransmit), indexOf(c.fatherUntransmit), indexOf(c.motherTransmit),
                           indexOf(c.motherUntransmit)});
    }
}

template <typename Visit>
void forEachCode(const PhaseTable& phases, Visit visit) {
    for (const std::vector<Combination>* version : {&phases.combinations, &phases.exchanged}) {
        for (const Combination& c : *version) {
            visit(c.fatherTransmit);
            visit(c.fatherUntransmit);
            visit(c.motherTransmit);
            visit(c.motherUntransmit);
        }
    }
}

// Marks every code that occurs in a table over all codes, then numbers the
// marked ones in code order.
void indexByTable(const PhaseTable& phases, IndexedPhases& indexed) {
    std::vector<std::int32_t> indexOfCode(static_cast<std::size_t>(indexed.haplotypeCount) + 1, 0);
    forEachCode(phases, [&](std::int32_t code) { indexOfCode[static_cast<std::size_t>(code)] = 1; });
    for (std::size_t code = 0; code < indexOfCode.size(); ++code) {
        if (indexOfCode[code] == 0) continue;
        indexOfCode[code] = static_cast<std::int32_t>(indexed.codes.size());
        indexed.codes.push_back(static_cast<std::int32_t>(code));
    }
    const auto indexOf = [&](std::int32_t code) { return indexOfCode[static_cast<std::size_t>(code)]; };
    renumber(phases.combinations, indexOf, indexed.combinations);
    renumber(phases.exchanged, indexOf, indexed.combinations);
}

void indexBySorting(const PhaseTable& phases, IndexedPhases& indexed) {
    forEachCode(phases, [&](std::int32_t code) { indexed.codes.push_back(code); });
    std::sort(indexed.codes.begin(), indexed.codes.end());
    indexed.codes.erase(std::unique(indexed.codes.begin(), indexed.codes.end()), indexed.codes.end());
    const auto indexOf = [&](std::int32_t code) {
        return static_cast<std::int32_t>(std::lower_bound(indexed.codes.begin(), indexed.codes.end(), code) -
                                         indexed.codes.begin());
    };
    renumber(phases.combinations, indexOf, indexed.combinations);
    renumber(phases.exchanged, indexOf, indexed.combinations);
}

}  // namespace

IndexedPhases indexPhases(const PhaseTable& phases, std::int32_t haplotypeCount) {
    IndexedPhases indexed;
    indexed.haplotypeCount = haplotypeCount;
    indexed.phaseCount = phases.phaseCount;
    indexed.firstCombination = phases.firstCombination;
    indexed.combinations.reserve(2 * phases.combinations.size());
    const auto listed = 8 * static_cast<std::int64_t>(phases.combinations.size());
    if (haplotypeCount <= directCodesAlways || haplotypeCount <= directCodesPerHaplotype * listed) {
        indexByTable(phases, indexed);
    } else {
        indexBySorting(phases, indexed);
    }
    return indexed;
}

}  // namespace triotdt::haplotype
