#include "frequency/frequency_sets.h"

#include "frequency/em.h"

namespace triotdt::frequency {

WindowFrequencies estimateWindowFrequencies(const haplotype::IndexedPhases& phases) {
    WindowFrequencies result;
    result.unambiguousFamilyCount = countTransmissions(phases, result.counts);
    result.sets.haplotypeFreq = haplotypeFrequencies(result.counts, result.unambiguousFamilyCount,
                                                     haplotype::haplotypesPerFamily(phases.inheritance));
    result.sets.equalFreq = equalFrequencies(phases);
    result.sets.phaseShareFreq = phaseShareFrequencies(phases);
    EmResult em = estimateHaplotypeFrequencies(phases);
    result.sets.emFreq = std::move(em.emFreq);
    result.emIterations = em.iterations;
    result.emConverged = em.converged;
    return result;
}

std::vector<double> haplotypeFrequencies(const CountTables& counts, std::int32_t unambiguousFamilyCount,
                                         double haplotypesPerFamily) {
    std::vector<double> freq(counts.transmitCount.size(), 0.0);
    if (unambiguousFamilyCount == 0) return freq;
    for (std::size_t h = 0; h < freq.size(); ++h) {
        freq[h] =
            ((counts.untransmitCount[h] + counts.transmitCount[h]) / haplotypesPerFamily) / unambiguousFamilyCount;
    }
    return freq;
}

std::vector<double> equalFrequencies(const haplotype::IndexedPhases& phases) {
    return std::vector<double>(phases.indexCount(), 1.0 / phases.haplotypeCount);
}

std::vector<double> phaseShareFrequencies(const haplotype::IndexedPhases& phases) {
    std::vector<double> freq(phases.indexCount(), 0.0);
    const std::int32_t familyCount = phases.familyCount();
    if (familyCount == 0) return freq;
    const bool mothersOnly = phases.inheritance == haplotype::Inheritance::xLinked;
    for (std::int32_t f = 0; f < familyCount; ++f) {
        const double share = 1.0 / phases.phaseCount[static_cast<std::size_t>(f)];
        for (const haplotype::Combination& c : phases.observedOf(f)) {
            if (!mothersOnly) {
                freq[static_cast<std::size_t>(c.fatherTransmit)] += share;
                freq[static_cast<std::size_t>(c.fatherUntransmit)] += share;
            }
            freq[static_cast<std::size_t>(c.motherTransmit)] += share;
            freq[static_cast<std::size_t>(c.motherUntransmit)] += share;
        }
    }
    const double haplotypesPerFamily = haplotype::haplotypesPerFamily(phases.inheritance);
    for (double& value : freq) value = value / haplotypesPerFamily / familyCount;
    return freq;
}

}  // namespace triotdt::frequency
