#include "window/prepare_window.h"

#include <limits>
#include <utility>

#include "haplotype/phasing.h"

namespace triotdt::window {

haplotype::Window makeWindow(const haplotype::FamilyData& data, std::int32_t size, std::int32_t start) {
    haplotype::Window window;
    window.size = size;
    window.start = start;
    window.alleleCount.assign(data.alleleCount.begin() + (start - 1), data.alleleCount.begin() + (start - 1 + size));
    window.haplotypeCount = haplotype::countHaplotypes(window.alleleCount);
    window.skipped = window.haplotypeCount > std::numeric_limits<std::int32_t>::max();
    if (!window.skipped) window.families = haplotype::familiesTakingPart(data, start, size);
    return window;
}

std::unique_ptr<PreparedWindow> prepareWindow(const haplotype::FamilyData& data, std::int32_t size,
                                              std::int32_t start) {
    auto prepared = std::make_unique<PreparedWindow>();
    prepared->window = makeWindow(data, size, start);
    if (prepared->skipped()) return prepared;
    prepared->phases =
        haplotype::indexPhases(haplotype::phaseFamilies(data, prepared->window), prepared->window.codeCount());
    prepared->frequencies = frequency::estimateWindowFrequencies(prepared->phases);
    prepared->model.emplace(statistics::buildWindowModel(prepared->phases, prepared->frequencies.sets));
    prepared->observed = statistics::observedStatistics(*prepared->model);
    return prepared;
}

WindowResult takeResult(PreparedWindow& prepared, std::int32_t replicateCount,
                        const statistics::FiveStatistics& pValues) {
    WindowResult result;
    result.start = prepared.window.start;
    result.size = prepared.window.size;
    result.haplotypeCount = prepared.window.haplotypeCount;
    result.skipped = prepared.skipped();
    result.replicateCount = replicateCount;
    if (prepared.skipped()) return result;
    result.emConverged = prepared.frequencies.emConverged;
    result.families = prepared.phases.familyCount();
    result.familiesOfKnownPhase = prepared.frequencies.unambiguousFamilyCount;
    result.distinctHaplotypes = haplotype::countObservedHaplotypes(prepared.phases);
    result.statistics = prepared.observed;
    result.pValues = pValues;
    result.codes = std::move(prepared.phases.codes);
    result.counts = std::move(prepared.frequencies.counts);
    result.haplotypeFreq = std::move(prepared.frequencies.sets.haplotypeFreq);
    return result;
}

}  // namespace triotdt::window
