#include "frequency/transmission_counts.h"

namespace triotdt::frequency {

std::int32_t countTransmissions(const haplotype::IndexedPhases& phases, CountTables& counts) {
    const std::size_t size = phases.indexCount();
    counts.transmitCount.assign(size, 0.0);
    counts.untransmitCount.assign(size, 0.0);
    counts.homoCount.assign(size, 0.0);
    std::int32_t unambiguousFamilyCount = 0;
    for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
        if (phases.phaseCount[static_cast<std::size_t>(f)] != 1) continue;
        ++unambiguousFamilyCount;
        const haplotype::Combination& c = phases.observedOf(f)[0];
        counts.transmitCount[static_cast<std::size_t>(c.fatherTransmit)] += 1;
        counts.transmitCount[static_cast<std::size_t>(c.motherTransmit)] += 1;
        counts.untransmitCount[static_cast<std::size_t>(c.fatherUntransmit)] += 1;
        counts.untransmitCount[static_cast<std::size_t>(c.motherUntransmit)] += 1;
        if (c.fatherTransmit == c.fatherUntransmit) counts.homoCount[static_cast<std::size_t>(c.fatherTransmit)] += 1;
        if (c.motherTransmit == c.motherUntransmit) counts.homoCount[static_cast<std::size_t>(c.motherTransmit)] += 1;
    }
    return unambiguousFamilyCount;
}

}  // namespace triotdt::frequency
