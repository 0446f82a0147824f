// Chromosome names as files write them: their order, the ones the import
// leaves out, and their run folders.
#include <gtest/gtest.h>

#include <algorithm>

#include "import/chromosome.h"

namespace triotdt::import {
namespace {

TEST(Chromosome, SortsNumbersByValueThenSexAndMitochondrialThenOthersByName) {
    std::vector<std::string> names = {"Un_gl1", "MT", "chr10", "X", "2", "chrY", "1", "9", "XY", "25", "GL000"};
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return chromosomeRank(a) < chromosomeRank(b); });
    EXPECT_EQ(names,
              (std::vector<std::string>{"1", "2", "9", "chr10", "X", "chrY", "25", "XY", "MT", "GL000", "Un_gl1"}));
}

TEST(Chromosome, KnowsTheAliasesOfXYAndMtAndMatchesWithOrWithoutChr) {
    for (const char* name : {"X", "x", "23", "chrX", "Y", "24", "chrY", "XY", "25", "MT", "M", "26", "chrM", "chrMT"}) {
        EXPECT_TRUE(isSexOrMitochondrial(name)) << name;
    }
    for (const char* name : {"1", "22", "chr2", "27", "Xp", "chr"}) EXPECT_FALSE(isSexOrMitochondrial(name)) << name;
    EXPECT_TRUE(sameChromosome("chr7", "7"));
    EXPECT_TRUE(sameChromosome("7", "CHR7"));
    EXPECT_FALSE(sameChromosome("7", "17"));
    EXPECT_EQ(chromosomeFolder("7"), "chr7");
    EXPECT_EQ(chromosomeFolder("chr7"), "chr7");
    EXPECT_EQ(chromosomeFolder("HLA/A:1"), "chrHLA_A_1");
}

}  // namespace
}  // namespace triotdt::import
