#include "window/prepare_window.h"

#include <limits>

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
    prepared->phases = haplotype::indexPhases(haplotype::phaseFamilies(data, prepared->window),
                                              prepared->window.codeCount());
    prepared->frequencies = frequency::estimateWindowFrequencies(prepared->phases);
    prepared->model.emplace(statistics::buildWindowModel(prepared->phases, prepared->frequencies.sets));
    prepared->observed = statistics::observedStatistics(*prepared->model);
    return prepared;
}

}  // namespace triotdt::window
