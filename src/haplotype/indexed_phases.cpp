#include "haplotype/indexed_phases.h"

#include <algorithm>

namespace triotdt::haplotype {
namespace {

void collectCodes(const std::vector<Combination>& combinations, std::vector<std::int32_t>& codes) {
    for (const Combination& c : combinations) {
        codes.insert(codes.end(), {c.fatherTransmit, c.fatherUntransmit, c.motherTransmit, c.motherUntransmit});
    }
}

void renumber(const std::vector<Combination>& combinations, const std::vector<std::int32_t>& codes,
              std::vector<Combination>& indexed) {
    const auto indexOf = [&](std::int32_t code) {
        return static_cast<std::int32_t>(std::lower_bound(codes.begin(), codes.end(), code) - codes.begin());
    };
    for (const Combination& c : combinations) {
        indexed.push_back({indexOf(c.fatherTransmit), indexOf(c.fatherUntransmit), indexOf(c.motherTransmit),
                           indexOf(c.motherUntransmit)});
    }
}

}  // namespace

IndexedPhases indexPhases(const PhaseTable& phases, std::int32_t haplotypeCount) {
    IndexedPhases indexed;
    indexed.haplotypeCount = haplotypeCount;
    collectCodes(phases.combinations, indexed.codes);
    collectCodes(phases.exchanged, indexed.codes);
    std::sort(indexed.codes.begin(), indexed.codes.end());
    indexed.codes.erase(std::unique(indexed.codes.begin(), indexed.codes.end()), indexed.codes.end());
    indexed.inputFamilyCount = phases.inputFamilyCount;
    indexed.inputFamily = phases.inputFamily;
    indexed.phaseCount = phases.phaseCount;
    indexed.firstCombination = phases.firstCombination;
    indexed.combinations.reserve(2 * phases.combinations.size());
    renumber(phases.combinations, indexed.codes, indexed.combinations);
    renumber(phases.exchanged, indexed.codes, indexed.combinations);
    return indexed;
}

std::int32_t countObservedHaplotypes(const IndexedPhases& phases) {
    std::vector<bool> seen(phases.indexCount());
    for (const Combination& c : phases.observed()) {
        for (const std::int32_t h : {c.fatherTransmit, c.fatherUntransmit, c.motherTransmit, c.motherUntransmit}) {
            seen[static_cast<std::size_t>(h)] = true;
        }
    }
    return static_cast<std::int32_t>(std::count(seen.begin(), seen.end(), true));
}

}  // namespace triotdt::haplotype
