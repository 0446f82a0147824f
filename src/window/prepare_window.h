#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "frequency/frequency_sets.h"
#include "haplotype/family_data.h"
#include "haplotype/indexed_phases.h"
#include "haplotype/window.h"
#include "statistics/five_statistics.h"
#include "statistics/window_model.h"
#include "window/window_result.h"

namespace triotdt::window {

// A window worked out as far as its replicates: everything that does not
// depend on the random stream and writes nothing. A skipped window (too many
// haplotypes for 32-bit codes) has only `window`.
struct PreparedWindow {
    haplotype::Window window;
    haplotype::IndexedPhases phases;
    frequency::WindowFrequencies frequencies;
    std::optional<statistics::WindowModel> model;  // refers to `phases`, hence no copies
    statistics::FiveStatistics observed{};

    PreparedWindow() = default;
    PreparedWindow(const PreparedWindow&) = delete;
    PreparedWindow& operator=(const PreparedWindow&) = delete;

    bool skipped() const { return window.skipped; }
};

// The window of `size` loci from locus `start` (1-based): its allele counts,
// its true haplotype count, whether it is skipped and, if not, the families
// taking part.
haplotype::Window makeWindow(const haplotype::FamilyData& data, std::int32_t size, std::int32_t start);

// Phases the families, indexes the haplotypes that occur, estimates the
// frequency sets and builds the statistics model and the observed statistics.
// A pure function of its arguments: windows may be prepared on any thread,
// several at once.
std::unique_ptr<PreparedWindow> prepareWindow(const haplotype::FamilyData& data, std::int32_t size, std::int32_t start);

// Takes what the reports need out of a prepared window, which is then spent:
// its result after `replicateCount` replicates that gave `pValues`.
WindowResult takeResult(PreparedWindow& prepared, std::int32_t replicateCount,
                        const statistics::FiveStatistics& pValues);

}  // namespace triotdt::window
