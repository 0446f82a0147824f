// Chromosome names as files write them: their order, the ones the import
// leaves out, and their run folders.
#include <gtest/gtest.h>

#include <algorithm>

#include "import/chromosome.h"
#include "output/loci_table.h"

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
    for (const char* name : {"Y", "24", "chrY", "MT", "M", "26", "chrM", "chrMT"}) EXPECT_TRUE(isLeftOut(name)) << name;
    for (const char* name : {"1", "22", "chr2", "27", "Xp", "chr", "X", "23", "XY", "25"}) {
        EXPECT_FALSE(isLeftOut(name)) << name;
    }
    for (const char* name : {"X", "x", "23", "chrX", "CHR23"}) EXPECT_TRUE(output::namesChromosomeX(name)) << name;
    for (const char* name : {"XY", "25", "Xp", "chrY", "1"}) EXPECT_FALSE(output::namesChromosomeX(name)) << name;
    EXPECT_TRUE(sameChromosome("chr7", "7"));
    EXPECT_TRUE(sameChromosome("7", "CHR7"));
    EXPECT_FALSE(sameChromosome("7", "17"));
    EXPECT_EQ(chromosomeFolder("7"), "chr7");
    EXPECT_EQ(chromosomeFolder("chr7"), "chr7");
    EXPECT_EQ(chromosomeFolder("HLA/A:1"), "chrHLA_A_1");
    EXPECT_EQ(chromosomeFolder("23"), "chrX");
    EXPECT_EQ(chromosomeFolder("chr25"), "chrXY");
}

}  // namespace
}  // namespace triotdt::import
