// Numbering a window's haplotypes densely: through a table over every code
// when the window has few, by sorting when it has many. Either way the
// indices follow the codes in increasing order and lead back to the codes of
// the phase table, and families with the same combinations share a pattern.
#include <gtest/gtest.h>

#include "haplotype/haplotype_code.h"
#include "haplotype/indexed_phases.h"
#include "haplotype/phasing.h"
#include "support/random_trios.h"

namespace triotdt::haplotype {
namespace {

void expectFaithfulNumbering(const FamilyData& data) {
    Window window;
    window.size = data.lociCount;
    window.alleleCount = data.alleleCount;
    window.haplotypeCount = static_cast<std::int32_t>(countHaplotypes(window.alleleCount));
    const PhaseTable table = phaseFamilies(data, window);
    const IndexedPhases indexed = indexPhases(table, window.haplotypeCount);

    for (std::size_t i = 1; i < indexed.codes.size(); ++i) EXPECT_LT(indexed.codes[i - 1], indexed.codes[i]);
    const auto codeOf = [&](std::int32_t index) { return indexed.codes[static_cast<std::size_t>(index)]; };
    for (std::int32_t f = 0; f < table.familyCount(); ++f) {
        const auto expectSameCodes = [&](std::span<const Combination> byCode, std::span<const Combination> byIndex) {
            ASSERT_EQ(byCode.size(), byIndex.size());
            for (std::size_t k = 0; k < byCode.size(); ++k) {
                EXPECT_EQ(byCode[k],
                          (Combination{codeOf(byIndex[k].fatherTransmit), codeOf(byIndex[k].fatherUntransmit),
                                       codeOf(byIndex[k].motherTransmit), codeOf(byIndex[k].motherUntransmit)}));
            }
        };
        const std::size_t first = table.firstCombination[static_cast<std::size_t>(f)];
        const std::size_t count = table.firstCombination[static_cast<std::size_t>(f) + 1] - first;
        expectSameCodes(std::span(table.combinations).subspan(first, count), indexed.observedOf(f));
        expectSameCodes(std::span(table.exchanged).subspan(first, count), indexed.exchangedOf(f));
        // A pattern's first family has the same combinations, in both versions.
        const std::int32_t model =
            indexed.patternFamily[static_cast<std::size_t>(indexed.patternOf[static_cast<std::size_t>(f)])];
        EXPECT_LE(model, f);
        EXPECT_TRUE(std::ranges::equal(indexed.observedOf(model), indexed.observedOf(f)));
        EXPECT_TRUE(std::ranges::equal(indexed.exchangedOf(model), indexed.exchangedOf(f)));
    }
    // Every pattern is distinct from every other.
    for (std::int32_t p = 0; p < indexed.patternCount(); ++p) {
        for (std::int32_t q = 0; q < p; ++q) {
            const auto a = indexed.observedOf(indexed.patternFamily[static_cast<std::size_t>(p)]);
            const auto b = indexed.observedOf(indexed.patternFamily[static_cast<std::size_t>(q)]);
            const auto c = indexed.exchangedOf(indexed.patternFamily[static_cast<std::size_t>(p)]);
            const auto d = indexed.exchangedOf(indexed.patternFamily[static_cast<std::size_t>(q)]);
            EXPECT_FALSE(std::ranges::equal(a, b) && std::ranges::equal(c, d)) << "patterns " << q << " and " << p;
        }
    }
}

TEST(IndexPhases, FewHaplotypesThroughATable) { expectFaithfulNumbering(test::randomTrios(5, 60, {2, 2, 3, 2, 2})); }

TEST(IndexPhases, ManyHaplotypesBySorting) {
    // 9^7 codes for a few dozen listed haplotypes.
    expectFaithfulNumbering(test::randomTrios(6, 12, {9, 9, 9, 9, 9, 9, 9}));
}

}  // namespace
}  // namespace triotdt::haplotype
