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
        // Whole numbers: the order of the additions does not matter.
        for (const haplotype::ParentPart& part :
             haplotype::transmittingParts(phases.observedOf(f)[0], phases.inheritance)) {
            counts.transmitCount[static_cast<std::size_t>(part.transmitted)] += 1;
            counts.untransmitCount[static_cast<std::size_t>(part.untransmitted)] += 1;
            if (part.transmitted == part.untransmitted)
                counts.homoCount[static_cast<std::size_t>(part.transmitted)] += 1;
        }
    }
    return unambiguousFamilyCount;
}

}  // namespace triotdt::frequency
