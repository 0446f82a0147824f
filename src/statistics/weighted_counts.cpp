#include "statistics/weighted_counts.h"

#include <algorithm>
#include <stdexcept>

namespace triotdt::statistics {
namespace {

using haplotype::Combination;

void computeFamilyShares(std::span<const Combination> combinations, const frequency::FrequencySets& sets,
                         std::span<FourValues> shares) {
    const std::vector<double>* tables[weightedSetCount] = {&sets.haplotypeFreq, &sets.equalFreq, &sets.phaseShareFreq,
                                                           &sets.emFreq};
    for (std::size_t s = 0; s < weightedSetCount; ++s) {
        const std::vector<double>& freq = *tables[s];
        const auto at = [&](std::int32_t index) { return freq[static_cast<std::size_t>(index)]; };
        double total = 0;
        for (std::size_t k = 0; k < combinations.size(); ++k) {
            const Combination& c = combinations[k];
            // The four frequencies multiplied left to right.
            shares[k][s] =
                at(c.fatherTransmit) * at(c.fatherUntransmit) * at(c.motherTransmit) * at(c.motherUntransmit);
            total = total + shares[k][s];
        }
        for (std::size_t k = 0; k < combinations.size(); ++k) {
            shares[k][s] = total > 0 ? shares[k][s] / total : 0.0;
        }
    }
}

// The shares of the homozygous parents of a family of known phase, observed.
void addHomozygotes(const Combination& c, const FourValues& share, std::vector<FourValues>& homo) {
    for (const auto& [transmitted, untransmitted] :
         {std::pair{c.fatherTransmit, c.fatherUntransmit}, std::pair{c.motherTransmit, c.motherUntransmit}}) {
        if (transmitted != untransmitted) continue;
        for (std::size_t s = 0; s < weightedSetCount; ++s) {
            homo[static_cast<std::size_t>(transmitted)][s] += share[s];
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
                computeFamilyShares(exchanged ? phases.exchangedOf(f) : phases.observedOf(f), sets, own);
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
        addHomozygotes(c, observedShare, homozygotes.observed);
        if (observedShare == exchangedShare) continue;
        FourValues difference{};
        for (std::size_t s = 0; s < weightedSetCount; ++s) difference[s] = exchangedShare[s] - observedShare[s];
        for (const auto& [transmitted, untransmitted] :
             {std::pair{c.fatherTransmit, c.fatherUntransmit}, std::pair{c.motherTransmit, c.motherUntransmit}}) {
            if (transmitted == untransmitted) {
                homozygotes.changes.push_back(
                    {phases.inputFamily[static_cast<std::size_t>(f)], transmitted, difference});
            }
        }
    }
    return homozygotes;
}

}  // namespace triotdt::statistics
