#include "statistics/weighted_counts.h"

#include <algorithm>
#include <stdexcept>

#include "statistics/transmission_statistic.h"

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

inline void addShares(FourValues& total, const FourValues share) {
    total[0] += share[0];
    total[1] += share[1];
    total[2] += share[2];
    total[3] += share[3];
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

void WeightedCounts::resize(std::size_t indexCount) {
    transmitCount.resize(indexCount);
    untransmitCount.resize(indexCount);
}

namespace {

// `bitOf(f)` is where family f's exchange bit lies among the bits of the
// input's families. Passed as a type so that a window every family takes part
// in runs the loop without looking the position up.
template <typename BitOf>
void addWeightedCounts(const haplotype::IndexedPhases& phases, const PhaseShares& shares,
                       exchange::ExchangeBits exchanges, WeightedCounts& counts, BitOf bitOf) {
    FourValues* const transmit = counts.transmitCount.data();
    FourValues* const untransmit = counts.untransmitCount.data();
    const Combination* const combinations = phases.combinations.data();
    const FourValues* const allShares = shares.shares.data();
    const std::size_t exchangedOffset = phases.versionOffset(true);
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const std::size_t first = phases.firstCombination[static_cast<std::size_t>(f)];
        const std::size_t count = phases.firstCombination[static_cast<std::size_t>(f) + 1] - first;
        // Half the families are exchanged, at random: a branch here would be
        // mispredicted every other time.
        const std::size_t start = first + exchanges.exchanged(bitOf(f)) * exchangedOffset;
        for (std::size_t k = start; k < start + count; ++k) {
            const Combination c = combinations[k];
            // A copy, so that the compiler knows the share cannot change under the adds.
            const FourValues share = allShares[k];
            addShares(transmit[c.fatherTransmit], share);
            addShares(transmit[c.motherTransmit], share);
            addShares(untransmit[c.fatherUntransmit], share);
            addShares(untransmit[c.motherUntransmit], share);
        }
    }
}

}  // namespace

void weightedTransmissionCounts(const haplotype::IndexedPhases& phases, const PhaseShares& shares,
                                exchange::ExchangeBits exchanges, WeightedCounts& counts) {
    std::fill(counts.transmitCount.begin(), counts.transmitCount.end(), FourValues{});
    std::fill(counts.untransmitCount.begin(), counts.untransmitCount.end(), FourValues{});
    if (phases.everyFamilyTakesPart()) {
        addWeightedCounts(phases, shares, exchanges, counts,
                          [](std::int32_t f) { return static_cast<std::size_t>(f); });
    } else {
        const std::int32_t* const inputFamily = phases.inputFamily.data();
        addWeightedCounts(phases, shares, exchanges, counts,
                          [inputFamily](std::int32_t f) { return static_cast<std::size_t>(inputFamily[f]); });
    }
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

const std::vector<FourValues>& homozygotesOf(const HomozygoteCounts& homozygotes, exchange::ExchangeBits exchanges,
                                             std::vector<FourValues>& scratch) {
    bool changed = false;
    for (const HomozygoteCounts::Change& change : homozygotes.changes) {
        if (!exchanges.exchanged(static_cast<std::size_t>(change.family))) continue;
        if (!changed) scratch = homozygotes.observed;
        changed = true;
        addShares(scratch[static_cast<std::size_t>(change.haplotype)], change.difference);
    }
    return changed ? scratch : homozygotes.observed;
}

FourValues weightedStatistics(const WeightedCounts& counts, const std::vector<FourValues>& homoCount) {
    FourValues statistics{};
    for (std::size_t h = 0; h < counts.transmitCount.size(); ++h) {
        for (std::size_t s = 0; s < weightedSetCount; ++s) {
            addTransmissionTerm(statistics[s], counts.transmitCount[h][s], counts.untransmitCount[h][s],
                                homoCount[h][s]);
        }
    }
    return statistics;
}

}  // namespace triotdt::statistics
