#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "haplotype/haplotype_code.h"
#include "support/test_only.h"

namespace triotdt::haplotype {
namespace {

using Alleles = std::vector<std::int32_t>;

Window windowOf(Alleles alleleCount) {
    Window window;
    window.size = static_cast<std::int32_t>(alleleCount.size());
    window.haplotypeCount = static_cast<std::int32_t>(countHaplotypes(alleleCount));
    window.alleleCount = std::move(alleleCount);
    return window;
}

Alleles decode(const Window& window, std::int32_t code) {
    Alleles alleles(static_cast<std::size_t>(window.size));
    test::decodeHaplotype(window, code, alleles);
    return alleles;
}

TEST(HaplotypeCode, WorkedExampleOfThreeLoci) {
    const Window window = windowOf({2, 3, 4});
    ASSERT_EQ(window.haplotypeCount, 24);
    EXPECT_EQ(encodeHaplotype(window, Alleles{1, 1, 1}), 1);
    EXPECT_EQ(encodeHaplotype(window, Alleles{2, 3, 4}), 24);
    EXPECT_EQ(encodeHaplotype(window, Alleles{2, 1, 3}), 15);
    EXPECT_EQ(decode(window, 15), (Alleles{2, 1, 3}));
    EXPECT_EQ(decode(window, 1), (Alleles{1, 1, 1}));
    EXPECT_EQ(decode(window, 24), (Alleles{2, 3, 4}));
}

TEST(HaplotypeCode, TheLastLocusVariesFastest) {
    const Window window = windowOf({3, 2});
    const std::vector<Alleles> inCodeOrder{{1, 1}, {1, 2}, {2, 1}, {2, 2}, {3, 1}, {3, 2}};
    for (std::int32_t code = 1; code <= 6; ++code) {
        const Alleles& alleles = inCodeOrder[static_cast<std::size_t>(code - 1)];
        EXPECT_EQ(encodeHaplotype(window, alleles), code);
        EXPECT_EQ(decode(window, code), alleles);
    }
}

TEST(HaplotypeCode, OneLocusWindowCodeIsTheAllele) {
    const Window window = windowOf({6});
    for (std::int32_t allele = 1; allele <= 6; ++allele) {
        EXPECT_EQ(encodeHaplotype(window, Alleles{allele}), allele);
        EXPECT_EQ(decode(window, allele), Alleles{allele});
    }
}

TEST(HaplotypeCode, ACodeBelongsToItsWindow) {
    EXPECT_EQ(encodeHaplotype(windowOf({2, 3, 4}), Alleles{2, 1, 3}), 15);
    EXPECT_EQ(encodeHaplotype(windowOf({4, 3, 2}), Alleles{2, 1, 3}), 9);
    EXPECT_EQ(encodeHaplotype(windowOf({2, 2, 4}), Alleles{2, 1, 3}), 11);
}

// Every code of the window decodes to alleles in range and encodes back, and
// no two codes share an allele vector.
void expectRoundTrips(const Window& window) {
    std::set<Alleles> seen;
    for (std::int32_t code = 1; code <= window.haplotypeCount; ++code) {
        const Alleles alleles = decode(window, code);
        for (std::size_t k = 0; k < alleles.size(); ++k) {
            ASSERT_GE(alleles[k], 1) << "code " << code << ", locus " << k + 1;
            ASSERT_LE(alleles[k], window.alleleCount[k]) << "code " << code << ", locus " << k + 1;
        }
        ASSERT_EQ(encodeHaplotype(window, alleles), code);
        seen.insert(alleles);
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(window.haplotypeCount));
    Alleles highest = window.alleleCount;
    EXPECT_EQ(encodeHaplotype(window, highest), window.haplotypeCount);
    EXPECT_EQ(encodeHaplotype(window, Alleles(highest.size(), 1)), 1);
}

TEST(HaplotypeCode, RoundTripsOverEveryCodeOfAWindow) {
    for (const Alleles& counts : std::vector<Alleles>{{2},
                                                      {1, 1},
                                                      {5, 1, 3},
                                                      {2, 3, 4},
                                                      {4, 4, 4, 2},
                                                      {2, 2, 2, 2, 2, 2, 2},
                                                      {3, 1, 2, 5, 2, 1, 4},
                                                      {22, 22, 22}}) {
        SCOPED_TRACE(::testing::PrintToString(counts));
        expectRoundTrips(windowOf(counts));
    }
}

TEST(HaplotypeCount, ProductOfTheAlleleCountsWithoutOverflow) {
    EXPECT_EQ(countHaplotypes(Alleles{2, 3, 4}), 24);
    EXPECT_EQ(countHaplotypes(Alleles{22, 22, 22, 22, 22, 22, 22}), 2494357888LL);
    EXPECT_EQ(countHaplotypes(Alleles(7, 2147483647)), INT64_MAX);
    EXPECT_EQ(countHaplotypes(Alleles{3, 0, 2}), 0);
}

}  // namespace
}  // namespace triotdt::haplotype
