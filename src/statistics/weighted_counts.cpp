#include "statistics/weighted_counts.h"

#include <algorithm>

#include "frequency/transmission_counts.h"

namespace triotdt::statistics {
namespace {

using haplotype::Combination;

inline void addShares(FourValues& total, const FourValues share) {
    total[0] += share[0];
    total[1] += share[1];
    total[2] += share[2];
    total[3] += share[3];
}

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
            shares[k][s] = at(c.fatherTransmit) * at(c.fatherUntransmit) * at(c.motherTransmit) * at(c.motherUntransmit);
            total = total + shares[k][s];
        }
        for (std::size_t k = 0; k < combinations.size(); ++k) {
            shares[k][s] = total > 0 ? shares[k][s] / total : 0.0;
        }
    }
}

}  // namespace

PhaseShares computePhaseShares(const haplotype::IndexedPhases& phases, const frequency::FrequencySets& sets) {
    PhaseShares shares;
    shares.observed.resize(phases.observed.size());
    shares.exchanged.resize(phases.exchanged.size());
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const std::size_t first = phases.firstCombination[static_cast<std::size_t>(f)];
        const std::size_t count = phases.firstCombination[static_cast<std::size_t>(f) + 1] - first;
        computeFamilyShares(phases.observedOf(f), sets, std::span<FourValues>(shares.observed).subspan(first, count));
        computeFamilyShares(phases.exchangedOf(f), sets, std::span<FourValues>(shares.exchanged).subspan(first, count));
    }
    return shares;
}

void WeightedCounts::resize(std::size_t indexCount) {
    transmitCount.resize(indexCount);
    untransmitCount.resize(indexCount);
    homoCount.resize(indexCount);
}

void WeightedCounts::clear() {
    for (auto* table : {&transmitCount, &untransmitCount, &homoCount}) std::fill(table->begin(), table->end(), FourValues{});
}

namespace {

// Adds one combination's shares to the tables of one data set. The shares are
// copied first so that the compiler knows they cannot change under the adds.
inline void addCombination(const Combination& c, const FourValues& shareIn, FourValues* transmit,
                           FourValues* untransmit, FourValues* homo) {
    const FourValues share = shareIn;
    addShares(transmit[c.fatherTransmit], share);
    addShares(transmit[c.motherTransmit], share);
    addShares(untransmit[c.fatherUntransmit], share);
    addShares(untransmit[c.motherUntransmit], share);
    if (c.fatherTransmit == c.fatherUntransmit) addShares(homo[c.fatherTransmit], share);
    if (c.motherTransmit == c.motherUntransmit) addShares(homo[c.motherTransmit], share);
}

}  // namespace

void weightedTransmissionCounts(const haplotype::IndexedPhases& phases, const PhaseShares& shares,
                                std::span<const std::uint8_t> exchanged, WeightedCounts& counts) {
    const std::span<const std::uint8_t> rows[1] = {exchanged};
    WeightedCounts* const tables[1] = {&counts};
    weightedTransmissionCounts(phases, shares, rows, tables);
}

void weightedTransmissionCounts(const haplotype::IndexedPhases& phases, const PhaseShares& shares,
                                std::span<const std::span<const std::uint8_t>> exchanged,
                                std::span<WeightedCounts* const> counts) {
    const std::size_t sets = counts.size();
    FourValues* transmit[maxDataSets];
    FourValues* untransmit[maxDataSets];
    FourValues* homo[maxDataSets];
    for (std::size_t j = 0; j < sets; ++j) {
        counts[j]->clear();
        transmit[j] = counts[j]->transmitCount.data();
        untransmit[j] = counts[j]->untransmitCount.data();
        homo[j] = counts[j]->homoCount.data();
    }
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const std::size_t first = phases.firstCombination[static_cast<std::size_t>(f)];
        const std::size_t last = phases.firstCombination[static_cast<std::size_t>(f) + 1];
        for (std::size_t j = 0; j < sets; ++j) {
            const bool useExchanged = exchanged[j][static_cast<std::size_t>(f)] != 0;
            const Combination* combinations = useExchanged ? phases.exchanged.data() : phases.observed.data();
            const FourValues* familyShares = useExchanged ? shares.exchanged.data() : shares.observed.data();
            for (std::size_t k = first; k < last; ++k) {
                addCombination(combinations[k], familyShares[k], transmit[j], untransmit[j], homo[j]);
            }
        }
    }
}

FourValues weightedStatistics(const WeightedCounts& counts) {
    FourValues statistics{};
    for (std::size_t h = 0; h < counts.transmitCount.size(); ++h) {
        for (std::size_t s = 0; s < weightedSetCount; ++s) {
            statistics[s] += frequency::statisticTerm(counts.transmitCount[h][s], counts.untransmitCount[h][s],
                                                      counts.homoCount[h][s]);
        }
    }
    return statistics;
}

}  // namespace triotdt::statistics
