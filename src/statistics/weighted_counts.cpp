#include "statistics/weighted_counts.h"

#include <algorithm>
#include <stdexcept>

namespace triotdt::statistics {
namespace {

using haplotype::Combination;
using haplotype::Inheritance;
using haplotype::ParentPart;

void computeFamilyShares(std::span<const Combination> combinations, Inheritance inheritance,
                         const frequency::FrequencySets& sets, std::span<FourValues> shares) {
    const std::vector<double>* tables[weightedSetCount] = {&sets.haplotypeFreq, &sets.equalFreq, &sets.phaseShareFreq,
                                                           &sets.emFreq};
    const bool mothersOnly = inheritance == Inheritance::xLinked;
    for (std::size_t s = 0; s < weightedSetCount; ++s) {
        const std::vector<double>& freq = *tables[s];
        const auto at = [&](std::int32_t index) { return freq[static_cast<std::size_t>(index)]; };
        double total = 0;
        for (std::size_t k = 0; k < combinations.size(); ++k) {
            // The four frequencies (on X the mother's two) multiplied left to right.
            const Combination& c = combinations[k];
            shares[k][s] = mothersOnly ? at(c.motherTransmit) * at(c.motherUntransmit)
                                       : at(c.fatherTransmit) * at(c.fatherUntransmit) * at(c.motherTransmit) *
                                             at(c.motherUntransmit);
            total = total + shares[k][s];
        }
        for (std::size_t k = 0; k < combinations.size(); ++k) {
            shares[k][s] = total > 0 ? shares[k][s] / total : 0.0;
        }
    }
}

// The shares of the homozygous parents of a family of known phase, observed.
void addHomozygotes(const Combination& c, Inheritance inheritance, const FourValues& share,
                    std::vector<FourValues>& homo) {
    for (const ParentPart& part : haplotype::transmittingParts(c, inheritance)) {
        if (part.transmitted != part.untransmitted) continue;
        for (std::size_t s = 0; s < weightedSetCount; ++s) {
            homo[static_cast<std::size_t>(part.transmitted)][s] += share[s];
        }
    }
}

}  // namespace

PhaseShares computePhaseShares(const haplotype::IndexedPhases& phases, const frequency::FrequencySets& sets) {
    PhaseShares shares;
    shares.shares.resize(phases.combinations.size());
    const std::span<FourValues> all(shares.shares);
    // Families of one pattern have the same shares: the first family of each
    // pattern works them out, the others copy them.
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const std::size_t first = phases.firstCombination[static_cast<std::size_t>(f)];
        const std::size_t count = phases.firstCombination[static_cast<std::size_t>(f) + 1] - first;
        const std::int32_t model =
            phases.patternFamily[static_cast<std::size_t>(phases.patternOf[static_cast<std::size_t>(f)])];
        for (const bool exchanged : {false, true}) {
            const std::span<FourValues> own = all.subspan(first + phases.versionOffset(exchanged), count);
            if (model == f) {
                computeFamilyShares(exchanged ? phases.exchangedOf(f) : phases.observedOf(f), phases.inheritance, sets,
                                    own);
            } else {
                const std::size_t modelFirst = phases.firstCombination[static_cast<std::size_t>(model)];
                const auto source = all.subspan(modelFirst + phases.versionOffset(exchanged), count);
                std::copy(source.begin(), source.end(), own.begin());
            }
        }
    }
    return shares;
}

HomozygoteCounts countHomozygotes(const haplotype::IndexedPhases& phases, const PhaseShares& shares) {
    HomozygoteCounts homozygotes;
    homozygotes.observed.assign(phases.indexCount(), FourValues{});
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        if (phases.phaseCount[static_cast<std::size_t>(f)] != 1) {
            for (const Combination& c : phases.observedOf(f)) {
                if (c.fatherTransmit == c.fatherUntransmit || c.motherTransmit == c.motherUntransmit) {
                    throw std::logic_error("a family of ambiguous phase has a homozygous parent");
                }
            }
            continue;
        }
        const std::size_t k = phases.firstCombination[static_cast<std::size_t>(f)];
        const FourValues& observedShare = shares.shares[k + phases.versionOffset(false)];
        const FourValues& exchangedShare = shares.shares[k + phases.versionOffset(true)];
        const Combination& c = phases.combinations[k + phases.versionOffset(false)];
        addHomozygotes(c, phases.inheritance, observedShare, homozygotes.observed);
        if (observedShare == exchangedShare) continue;
        FourValues difference{};
        for (std::size_t s = 0; s < weightedSetCount; ++s) difference[s] = exchangedShare[s] - observedShare[s];
        for (const ParentPart& part : haplotype::transmittingParts(c, phases.inheritance)) {
            if (part.transmitted == part.untransmitted) {
                homozygotes.changes.push_back(
                    {phases.inputFamily[static_cast<std::size_t>(f)], part.transmitted, difference});
            }
        }
    }
    return homozygotes;
}

}  // namespace triotdt::statistics
