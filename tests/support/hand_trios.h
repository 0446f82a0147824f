#pragma once

// Small hand-made trios and the window over all their loci, for tests whose
// numbers can be worked out by hand.
#include <cstdint>
#include <memory>
#include <vector>

#include "haplotype/family_data.h"
#include "window/prepare_window.h"

namespace triotdt::test {

// Trios given as one line per family: father, mother, child genotypes, each
// 2 × loci alleles.
inline haplotype::FamilyData trios(std::vector<std::int32_t> alleleCount,
                                   std::vector<std::vector<std::int32_t>> families) {
    haplotype::FamilyData data;
    data.lociCount = static_cast<std::int32_t>(alleleCount.size());
    data.alleleCount = std::move(alleleCount);
    data.replicateCount = 1;
    const std::size_t columns = 2 * data.alleleCount.size();
    for (const auto& family : families) {
        data.fatherAlleles.append(std::vector<std::int32_t>(family.begin(), family.begin() + columns));
        data.motherAlleles.append(std::vector<std::int32_t>(family.begin() + columns, family.begin() + 2 * columns));
        data.childAlleles.append(std::vector<std::int32_t>(family.begin() + 2 * columns, family.end()));
        ++data.familyCount;
    }
    return data;
}

// The window covering all loci, prepared as the program prepares it.
struct Analysed {
    std::unique_ptr<window::PreparedWindow> prepared;
    const frequency::WindowFrequencies& frequencies = prepared->frequencies;
    const statistics::FiveStatistics& statistics = prepared->observed;
};

inline Analysed analyse(const haplotype::FamilyData& data) {
    return Analysed{window::prepareWindow(data, data.lociCount, 1)};
}

}  // namespace triotdt::test
