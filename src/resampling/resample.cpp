#include "resampling/resample.h"

#include <cmath>
#include <vector>

#include "frequency/transmission_counts.h"
#include "haplotype/haplotype_code.h"
#include "statistics/weighted_counts.h"

namespace triotdt::resampling {

double exceedanceScore(double replicate, double observed) {
    if (std::fabs(replicate - observed) <= tieTolerance) return 0.5;
    return replicate > observed ? 1.0 : 0.0;
}

FiveStatistics windowStatistics(const haplotype::PhaseTable& phases, const frequency::FrequencySets& sets,
                                std::int32_t haplotypeCount) {
    frequency::CountTables counts;
    std::vector<double> phaseWeight;
    FiveStatistics result{};
    frequency::countTransmissions(phases, haplotypeCount, counts);
    result[0] = frequency::transmissionStatistic(counts);
    const auto weighted = statistics::weightedStatistics(phases, sets, haplotypeCount, counts, phaseWeight);
    for (std::size_t s = 0; s < 4; ++s) result[s + 1] = weighted[s];
    return result;
}

namespace {

// Exchanges the transmitted and untransmitted alleles of both parents at every
// locus where the family's phase is resolved.
haplotype::Combination exchange(const haplotype::Window& window, const haplotype::PhaseTable& phases, std::int32_t f,
                                const haplotype::Combination& c, std::vector<std::int32_t>& work) {
    const auto size = static_cast<std::size_t>(window.size);
    work.resize(4 * size);
    std::span<std::int32_t> ft(work.data(), size), fu(work.data() + size, size), mt(work.data() + 2 * size, size),
        mu(work.data() + 3 * size, size);
    haplotype::decodeHaplotype(window, c.fatherTransmit, ft);
    haplotype::decodeHaplotype(window, c.fatherUntransmit, fu);
    haplotype::decodeHaplotype(window, c.motherTransmit, mt);
    haplotype::decodeHaplotype(window, c.motherUntransmit, mu);
    for (std::size_t j = 0; j < size; ++j) {
        if (!phases.resolvedAt(f, static_cast<std::int32_t>(j))) continue;
        std::swap(ft[j], fu[j]);
        std::swap(mt[j], mu[j]);
    }
    return {haplotype::encodeHaplotype(window, ft), haplotype::encodeHaplotype(window, fu),
            haplotype::encodeHaplotype(window, mt), haplotype::encodeHaplotype(window, mu)};
}

}  // namespace

FiveStatistics resampleWindow(const haplotype::Window& window, const haplotype::PhaseTable& phases,
                              const frequency::FrequencySets& sets, const FiveStatistics& observed,
                              std::int32_t replicateCount, UniformRandom& generator, std::int32_t& seed) {
    haplotype::PhaseTable replicate = phases;
    std::vector<std::int32_t> work;
    FiveStatistics count{};
    for (std::int32_t r = 0; r < replicateCount; ++r) {
        for (std::int32_t f = 0; f < phases.familyCount(); ++f) {
            const auto saved = phases.combinationsOf(f);
            const std::size_t first = phases.firstCombination[static_cast<std::size_t>(f)];
            const bool exchanged = uniformRandom(generator, seed) <= 0.5;
            for (std::size_t k = 0; k < saved.size(); ++k) {
                replicate.combinations[first + k] = exchanged ? exchange(window, phases, f, saved[k], work) : saved[k];
            }
        }
        const FiveStatistics statistics = windowStatistics(replicate, sets, window.haplotypeCount);
        for (std::size_t s = 0; s < 5; ++s) count[s] += exceedanceScore(statistics[s], observed[s]);
    }
    FiveStatistics pValues{};
    for (std::size_t s = 0; s < 5; ++s) pValues[s] = count[s] / replicateCount;
    return pValues;
}

void skipWindowDraws(std::int32_t familyCount, std::int32_t replicateCount, UniformRandom& generator,
                     std::int32_t& seed) {
    for (std::int64_t draw = 0; draw < std::int64_t{familyCount} * replicateCount; ++draw) {
        uniformRandom(generator, seed);
    }
}

}  // namespace triotdt::resampling
