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

std::uint64_t mix(std::uint64_t hash, std::int32_t value) {
    hash ^= static_cast<std::uint32_t>(value);
    hash *= 0x9E3779B97F4A7C15ull;
    return hash ^ (hash >> 29);
}

std::uint64_t hashFamily(const IndexedPhases& indexed, std::int32_t f) {
    std::uint64_t hash = static_cast<std::uint64_t>(indexed.phaseCount[static_cast<std::size_t>(f)]);
    for (const auto version : {indexed.observedOf(f), indexed.exchangedOf(f)}) {
        for (const Combination& c : version) {
            hash = mix(mix(mix(mix(hash, c.fatherTransmit), c.fatherUntransmit), c.motherTransmit), c.motherUntransmit);
        }
    }
    return hash;
}

bool samePattern(const IndexedPhases& indexed, std::int32_t f, std::int32_t g) {
    const auto same = [](std::span<const Combination> a, std::span<const Combination> b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    };
    return same(indexed.observedOf(f), indexed.observedOf(g)) && same(indexed.exchangedOf(f), indexed.exchangedOf(g));
}

// Open addressing over a table of twice as many slots as families.
void findPatterns(IndexedPhases& indexed) {
    const auto familyCount = static_cast<std::size_t>(indexed.familyCount());
    std::size_t slots = 16;
    while (slots < 2 * familyCount) slots *= 2;
    std::vector<std::int32_t> patternInSlot(slots, -1);
    indexed.patternOf.resize(familyCount);
    for (std::int32_t f = 0; f < indexed.familyCount(); ++f) {
        std::size_t slot = static_cast<std::size_t>(hashFamily(indexed, f)) & (slots - 1);
        for (;; slot = (slot + 1) & (slots - 1)) {
            const std::int32_t pattern = patternInSlot[slot];
            if (pattern < 0) {
                patternInSlot[slot] = indexed.patternCount();
                indexed.patternOf[static_cast<std::size_t>(f)] = indexed.patternCount();
                indexed.patternFamily.push_back(f);
                break;
            }
            if (samePattern(indexed, f, indexed.patternFamily[static_cast<std::size_t>(pattern)])) {
                indexed.patternOf[static_cast<std::size_t>(f)] = pattern;
                break;
            }
        }
    }
}

}  // namespace

IndexedPhases indexPhases(const PhaseTable& phases, std::int32_t haplotypeCount) {
    IndexedPhases indexed;
    indexed.inheritance = phases.inheritance;
    indexed.haplotypeCount = haplotypeCount;
    indexed.inputFamilyCount = phases.inputFamilyCount;
    indexed.inputFamily = phases.inputFamily;
    indexed.phaseCount = phases.phaseCount;
    indexed.firstCombination = phases.firstCombination;
    indexed.combinations.reserve(2 * phases.combinations.size());
    const auto listed = 8 * static_cast<std::int64_t>(phases.combinations.size());
    if (haplotypeCount <= directCodesAlways || haplotypeCount <= directCodesPerHaplotype * listed) {
        indexByTable(phases, indexed);
    } else {
        indexBySorting(phases, indexed);
    }
    findPatterns(indexed);
    return indexed;
}

std::int32_t countObservedHaplotypes(const IndexedPhases& phases) {
    std::vector<std::uint8_t> seen(phases.indexCount(), 0);
    std::int32_t count = 0;
    for (const Combination& c : phases.observed()) {
        for (const std::int32_t h : {c.fatherTransmit, c.fatherUntransmit, c.motherTransmit, c.motherUntransmit}) {
            count += 1 - seen[static_cast<std::size_t>(h)];
            seen[static_cast<std::size_t>(h)] = 1;
        }
    }
    return count;
}

}  // namespace triotdt::haplotype
