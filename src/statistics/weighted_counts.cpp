#include "statistics/weighted_counts.h"

namespace triotdt::statistics {
namespace {

double at(const std::vector<double>& table, std::int32_t code) { return table[static_cast<std::size_t>(code - 1)]; }

}  // namespace

void weightedTransmissionCounts(const haplotype::PhaseTable& phases, const std::vector<double>& freq,
                                std::int32_t haplotypeCount, frequency::CountTables& counts,
                                std::vector<double>& phaseWeight) {
    counts.clear(haplotypeCount);
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        const auto combinations = phases.combinationsOf(f);
        phaseWeight.resize(combinations.size());
        double total = 0;
        for (std::size_t k = 0; k < combinations.size(); ++k) {
            const haplotype::Combination& c = combinations[k];
            phaseWeight[k] = at(freq, c.fatherTransmit) * at(freq, c.fatherUntransmit) * at(freq, c.motherTransmit) *
                             at(freq, c.motherUntransmit);
            total = total + phaseWeight[k];
        }
        if (!(total > 0)) continue;
        for (std::size_t k = 0; k < combinations.size(); ++k) {
            const haplotype::Combination& c = combinations[k];
            const double share = phaseWeight[k] / total;
            counts.transmitCount[static_cast<std::size_t>(c.fatherTransmit - 1)] += share;
            counts.transmitCount[static_cast<std::size_t>(c.motherTransmit - 1)] += share;
            counts.untransmitCount[static_cast<std::size_t>(c.fatherUntransmit - 1)] += share;
            counts.untransmitCount[static_cast<std::size_t>(c.motherUntransmit - 1)] += share;
            if (c.fatherTransmit == c.fatherUntransmit) counts.homoCount[static_cast<std::size_t>(c.fatherTransmit - 1)] += share;
            if (c.motherTransmit == c.motherUntransmit) counts.homoCount[static_cast<std::size_t>(c.motherTransmit - 1)] += share;
        }
    }
}

std::array<double, 4> weightedStatistics(const haplotype::PhaseTable& phases, const frequency::FrequencySets& sets,
                                         std::int32_t haplotypeCount, frequency::CountTables& counts,
                                         std::vector<double>& phaseWeight) {
    std::array<double, 4> statistics{};
    const std::vector<double>* tables[4] = {&sets.haplotypeFreq, &sets.equalFreq, &sets.phaseShareFreq, &sets.emFreq};
    for (std::size_t s = 0; s < 4; ++s) {
        weightedTransmissionCounts(phases, *tables[s], haplotypeCount, counts, phaseWeight);
        statistics[s] = frequency::transmissionStatistic(counts);
    }
    return statistics;
}

}  // namespace triotdt::statistics
