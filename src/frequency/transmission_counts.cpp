#include "frequency/transmission_counts.h"

namespace triotdt::frequency {

void CountTables::clear(std::int32_t haplotypeCount) {
    const auto size = static_cast<std::size_t>(haplotypeCount);
    transmitCount.assign(size, 0.0);
    untransmitCount.assign(size, 0.0);
    homoCount.assign(size, 0.0);
}

std::int32_t countTransmissions(const haplotype::PhaseTable& phases, std::int32_t haplotypeCount,
                                CountTables& counts) {
    counts.clear(haplotypeCount);
    std::int32_t unambiguousFamilyCount = 0;
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        if (phases.phaseCount[static_cast<std::size_t>(f)] != 1) continue;
        ++unambiguousFamilyCount;
        const haplotype::Combination& c = phases.combinationsOf(f)[0];
        counts.transmitCount[static_cast<std::size_t>(c.fatherTransmit - 1)] += 1;
        counts.transmitCount[static_cast<std::size_t>(c.motherTransmit - 1)] += 1;
        counts.untransmitCount[static_cast<std::size_t>(c.fatherUntransmit - 1)] += 1;
        counts.untransmitCount[static_cast<std::size_t>(c.motherUntransmit - 1)] += 1;
        if (c.fatherTransmit == c.fatherUntransmit) counts.homoCount[static_cast<std::size_t>(c.fatherTransmit - 1)] += 1;
        if (c.motherTransmit == c.motherUntransmit) counts.homoCount[static_cast<std::size_t>(c.motherTransmit - 1)] += 1;
    }
    return unambiguousFamilyCount;
}

double transmissionStatistic(const CountTables& counts) {
    double statistic = 0.0;
    for (std::size_t h = 0; h < counts.transmitCount.size(); ++h) {
        const double t = counts.transmitCount[h];
        const double u = counts.untransmitCount[h];
        const double d = (u + t) - 2.0 * counts.homoCount[h];
        if (d > 0) statistic += (t - u) * (t - u) / d;
    }
    return statistic;
}

}  // namespace triotdt::frequency
