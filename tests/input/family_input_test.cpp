#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "input/family_input.h"
#include "io/run_error.h"
#include "support/allocation_watch.h"
#include "support/input_text.h"
#include "window/prepare_window.h"

namespace triotdt::input {
namespace {

using haplotype::FamilyData;
using Values = std::vector<std::int32_t>;

FamilyData readText(std::string text) {
    io::TextReader reader = io::TextReader::fromText(std::move(text), "tdtinput.dat");
    return readFamilyData(reader);
}

io::RunError readError(std::string text) {
    try {
        readText(std::move(text));
    } catch (const io::RunError& error) {
        return error;
    }
    ADD_FAILURE() << "the input was read";
    return io::RunError(io::ErrorCode::internalError, "", "");
}

// The two-family example: three loci with 2, 3 and 4 alleles.
const std::string example =
    "2\n1000\n3\n2 3 4\n"
    "1 2 3 1 4 4\n2 2 1 2 1 3\n2 1 1 3 4 1\n"
    "2 1 2 2 3 3\n1 1 1 2 1 4\n1 1 2 2 3 4\n";

// --- Reading ----------------------------------------------------------------------

TEST(ReadFamilyData, ReadsTheCountsThenEachFamilysFatherMotherAndChild) {
    const FamilyData data = readText(example);
    EXPECT_EQ(data.familyCount, 2);
    EXPECT_EQ(data.replicateCount, 1000);
    EXPECT_EQ(data.lociCount, 3);
    EXPECT_EQ(data.alleleCount, (Values{2, 3, 4}));
    EXPECT_EQ(data.fatherAlleles.values(), (Values{1, 2, 3, 1, 4, 4, 2, 1, 2, 2, 3, 3}));
    EXPECT_EQ(data.motherAlleles.values(), (Values{2, 2, 1, 2, 1, 3, 1, 1, 1, 2, 1, 4}));
    EXPECT_EQ(data.childAlleles.values(), (Values{2, 1, 1, 3, 4, 1, 1, 1, 2, 2, 3, 4}));
    EXPECT_TRUE(findUnusableInput(data).empty());
}

TEST(ReadFamilyData, EachRecordStartsOnANewLine) {
    // A father record with one value too many loses it; the mother's record
    // is read from the next line.
    const FamilyData data = readText("1\n5\n2\n2 2\n1 2 1 2 2\n2 2 1 1\n1 2 1 1\n");
    EXPECT_EQ(data.fatherAlleles.values(), (Values{1, 2, 1, 2}));
    EXPECT_EQ(data.motherAlleles.values(), (Values{2, 2, 1, 1}));
    EXPECT_EQ(data.childAlleles.values(), (Values{1, 2, 1, 1}));
}

TEST(ReadFamilyData, AFamilyCountOf0ReadsNoRecords) {
    const FamilyData data = readText("0\n10\n3\n2 2 3\nthese lines are never read\n");
    EXPECT_EQ(data.familyCount, 0);
    EXPECT_EQ(data.alleleCount, (Values{2, 2, 3}));
    EXPECT_TRUE(data.fatherAlleles.empty());
    EXPECT_TRUE(data.motherAlleles.empty());
    EXPECT_TRUE(data.childAlleles.empty());
    EXPECT_TRUE(findUnusableInput(data).empty());
}

TEST(ReadFamilyData, ALocusCountOf0ReadsNothingMoreAndIsNoError) {
    const FamilyData data = readText("3\n10\n0\nnot read\n");
    EXPECT_EQ(data.lociCount, 0);
    EXPECT_TRUE(data.alleleCount.empty());
    EXPECT_TRUE(data.fatherAlleles.empty());
    EXPECT_TRUE(findUnusableInput(data).empty());
}

TEST(ReadFamilyData, ATruncatedFileNamesTheRecordThatIsShort) {
    const std::string truncated = example.substr(0, example.size() - std::string("1 1 2 2 3 4\n").size());
    const io::RunError error = readError(truncated);
    EXPECT_EQ(error.code, io::ErrorCode::endOfFile);
    EXPECT_NE(error.statement.find("family 2, child's record"), std::string::npos) << error.statement;
    const io::RunError counts = readError("2\n1000\n3\n2 3\n");
    EXPECT_EQ(counts.code, io::ErrorCode::endOfFile);
    EXPECT_NE(counts.statement.find("allele counts"), std::string::npos) << counts.statement;
}

TEST(ReadFamilyData, AnInvalidAlleleNamesTheRecordAndTheLocus) {
    const io::RunError error = readError("1\n5\n2\n2 2\n1 2 1 2\n2 2 1 x\n");
    EXPECT_EQ(error.code, io::ErrorCode::invalidNumber);
    EXPECT_NE(error.statement.find("family 1, mother's record"), std::string::npos) << error.statement;
    EXPECT_NE(error.reason.find("locus 2, second allele"), std::string::npos) << error.reason;
}

TEST(ReadFamilyData, HugeCountsInAShortFileFailAtTheEndWithoutReservingRoom) {
    for (const char* text : {"2147483647\n10\n3\n2 2 2\n1 2 1 2 1 2\n1 1 1 1 1 1\n", "1\n10\n2147483647\n2 2 2\n",
                             "2000000000\n10\n11\n2 2 2 2 2 2 2 2 2 2 2\n"}) {
        startWatchingAllocations();
        const io::RunError error = readError(text);
        const std::size_t largest = stopWatchingAllocations();
        EXPECT_EQ(error.code, io::ErrorCode::endOfFile) << text;
        EXPECT_LT(largest, std::size_t{1} << 20) << text;
    }
}

// Locus 1 has 300 alleles: the tables take two bytes an allele and keep
// alleles above 255 as they are, through phasing and counting.
TEST(ReadFamilyData, ALocusOf300AllelesTakesTwoBytesAnAllele) {
    const FamilyData wide = readText(
        "2\n10\n2\n300 2\n300 256 1 2\n1 299 2 2\n300 1 1 2\n"
        "256 256 1 1\n300 300 1 2\n256 300 1 1\n");
    EXPECT_EQ(wide.fatherAlleles.bytesPerAllele(), 2);
    EXPECT_EQ(wide.fatherAlleles.values(), (Values{300, 256, 1, 2, 256, 256, 1, 1}));
    EXPECT_EQ(wide.childAlleles.values(), (Values{300, 1, 1, 2, 256, 300, 1, 1}));
    ASSERT_TRUE(findUnusableInput(wide).empty());
    const auto one = window::prepareWindow(wide, 1, 1);
    // Transmitted: 300 and 1 by family 1, 256 and 300 by family 2; kept back: 256, 299, 256, 300.
    EXPECT_EQ(one->phases.codes, (Values{1, 256, 299, 300}));
    EXPECT_EQ(one->frequencies.counts.transmitCount, (std::vector<double>{1, 1, 0, 2}));
    EXPECT_EQ(one->frequencies.counts.untransmitCount, (std::vector<double>{0, 2, 1, 1}));

    EXPECT_EQ(readText(example).fatherAlleles.bytesPerAllele(), 1);
    EXPECT_EQ(readText("1\n10\n1\n255\n255 1\n2 2\n255 2\n").fatherAlleles.bytesPerAllele(), 1);
}

// --- Input the analysis cannot use -----------------------------------------------------

// --- Writing ----------------------------------------------------------------------

TEST(FamilyWriter, WritesWhatReadFamilyDataReadsBack) {
    EXPECT_EQ(test::inputText(readText(example)), example);

    // Missing genotypes and many-digit alleles survive the trip too.
    FamilyData families;
    families.familyCount = 3;
    families.replicateCount = 17;
    families.lociCount = 2;
    families.alleleCount = {12, 3};
    families.fatherAlleles = {12, 1, 0, 0, 3, 4, 1, 2, 10, 11, 3, 3};
    families.motherAlleles = {1, 1, 2, 3, 0, 0, 3, 3, 9, 12, 1, 2};
    families.childAlleles = {1, 12, 3, 2, 4, 3, 2, 1, 11, 9, 2, 3};
    const FamilyData back = readText(test::inputText(families));
    EXPECT_EQ(back.familyCount, families.familyCount);
    EXPECT_EQ(back.replicateCount, families.replicateCount);
    EXPECT_EQ(back.lociCount, families.lociCount);
    EXPECT_EQ(back.alleleCount, families.alleleCount);
    EXPECT_EQ(back.fatherAlleles, families.fatherAlleles);
    EXPECT_EQ(back.motherAlleles, families.motherAlleles);
    EXPECT_EQ(back.childAlleles, families.childAlleles);
}

TEST(FamilyWriter, NoFamiliesWritesOnlyTheCounts) {
    FamilyData none;
    none.replicateCount = 5;
    none.lociCount = 2;
    none.alleleCount = {2, 4};
    EXPECT_EQ(test::inputText(none), "0\n5\n2\n2 4\n");
    EXPECT_EQ(readText(test::inputText(none)).alleleCount, none.alleleCount);
}

std::string problemsOf(const std::string& text) {
    return describeUnusableInput("tdtinput.dat", findUnusableInput(readText(text)));
}

void expectRefused(const std::string& text, const std::string& place) {
    const InputProblems problems = findUnusableInput(readText(text));
    ASSERT_EQ(problems.total, 1u) << describeUnusableInput("tdtinput.dat", problems);
    ASSERT_EQ(problems.shown.size(), 1u);
    EXPECT_EQ(problems.shown[0], place);
}

TEST(UnusableInput, ImpossibleCounts) {
    expectRefused("-1\n10\n2\n2 2\n", "the family count is -1; it must be 0 or more");
    expectRefused("0\n0\n2\n2 2\n", "the replicate count is 0; it must be 1 or more");
    expectRefused("0\n-5\n2\n2 2\n", "the replicate count is -5; it must be 1 or more");
    expectRefused("1\n10\n3\n2 0 2\n1 1 1 1 1 1\n1 1 1 1 1 1\n1 1 1 1 1 1\n",
                  "locus 2: the allele count is 0; it must be 1 or more");
    expectRefused("1\n10\n2\n-3 2\n1 1 1 1\n1 1 1 1\n1 1 1 1\n",
                  "locus 1: the allele count is -3; it must be 1 or more");
}

TEST(UnusableInput, AlleleZeroIsAMissingGenotypeNotAProblem) {
    // Whole and half-missing genotypes; the child at locus 2 would be
    // inconsistent with the father, but the mother is missing there.
    const FamilyData data = readText("1\n10\n2\n2 2\n1 2 1 1\n2 2 0 0\n1 0 2 2\n");
    EXPECT_TRUE(findUnusableInput(data).empty()) << describeUnusableInput("tdtinput.dat", findUnusableInput(data));
    EXPECT_EQ(countMissingGenotypes(data), 2);
    // Beside a 0, an allele out of range is still refused.
    expectRefused("1\n10\n1\n2\n0 3\n1 1\n1 1\n",
                  "family 1, father, locus 1: genotype 0/3: allele 3 is outside 1..2, the alleles of locus 1");
}

TEST(UnusableInput, AllelesOutsideTheirLocussRange) {
    expectRefused("2\n10\n2\n2 3\n1 2 1 1\n2 2 1 1\n1 2 1 1\n1 2 3 3\n2 2 3 3\n2 1 3 4\n",
                  "family 2, child, locus 2: genotype 3/4: allele 4 is outside 1..3, the alleles of locus 2");
    expectRefused("1\n10\n1\n2\n-1 2\n2 2\n2 2\n",
                  "family 1, father, locus 1: genotype -1/2: allele -1 is outside 1..2, the alleles of locus 1");
}

TEST(UnusableInput, AllelesTheTablesCannotHoldAreShownAsRead) {
    // One byte an allele: 256 and -7 cannot be stored, yet are described as given.
    expectRefused("1\n10\n1\n2\n1 2\n2 256\n1 2\n",
                  "family 1, mother, locus 1: genotype 2/256: allele 256 is outside 1..2, the alleles of locus 1");
    expectRefused("1\n10\n2\n2 300\n1 1 1 1\n1 1 1 1\n1 1 -7 70000\n",
                  "family 1, child, locus 2: genotype -7/70000: allele -7 is outside 1..300, the alleles of locus 2");
    expectRefused("1\n10\n2\n2 65536\nnot read\n",
                  "locus 2: the allele count is 65536; at most 65535 alleles per locus are supported");
}

TEST(UnusableInput, AChildWhoseAllelesCannotComeOneFromEachParent) {
    // An allele neither parent has.
    expectRefused("1\n10\n2\n3 2\n1 2 1 1\n2 2 1 1\n1 3 1 1\n",
                  "family 1, child, locus 1: genotype 1/3 cannot have one allele from the father (1/2) "
                  "and the other from the mother (2/2)");
    // Both alleles from the father.
    expectRefused("1\n10\n2\n2 3\n1 1 1 2\n1 1 3 3\n1 1 1 2\n",
                  "family 1, child, locus 2: genotype 1/2 cannot have one allele from the father (1/2) "
                  "and the other from the mother (3/3)");
    // Both alleles from the mother.
    expectRefused("1\n10\n1\n3\n3 3\n1 2\n2 1\n",
                  "family 1, child, locus 1: genotype 2/1 cannot have one allele from the father (3/3) "
                  "and the other from the mother (1/2)");
}

TEST(UnusableInput, EveryPlaceIsListedInFileOrder) {
    const InputProblems problems =
        findUnusableInput(readText("2\n0\n2\n2 2\n1 2 1 9\n2 2 1 1\n1 2 1 1\n1 1 1 1\n1 1 1 1\n2 2 1 1\n"));
    ASSERT_EQ(problems.total, 3u);
    EXPECT_EQ(problems.shown[0], "the replicate count is 0; it must be 1 or more");
    EXPECT_NE(problems.shown[1].find("family 1, father, locus 2"), std::string::npos) << problems.shown[1];
    EXPECT_NE(problems.shown[2].find("family 2, child, locus 1: genotype 2/2"), std::string::npos) << problems.shown[2];
}

std::string manyBadFamilies(int count) {
    std::string text = std::to_string(count) + "\n10\n1\n2\n";
    for (int f = 0; f < count; ++f) text += "1 1\n1 1\n2 2\n";
    return text;
}

TEST(UnusableInput, MoreThan20ProblemsAreCutTo20AndACount) {
    const InputProblems problems = findUnusableInput(readText(manyBadFamilies(25)));
    EXPECT_EQ(problems.total, 25u);
    EXPECT_EQ(problems.shown.size(), 20u);
    const std::string message = describeUnusableInput("tdtinput.dat", problems);
    EXPECT_EQ(message.substr(0, message.find('\n')), "tdtinput.dat: the input cannot be analysed (25 problems):");
    EXPECT_NE(message.find("  family 20, child, locus 1"), std::string::npos);
    EXPECT_EQ(message.find("family 21,"), std::string::npos);
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 23);
    EXPECT_NE(
        message.find("\n  ... and 5 more\nTo keep such a family, write the child's genotype at that locus as 0 0"),
        std::string::npos)
        << message;
}

TEST(UnusableInput, TwentyProblemsAreAllShown) {
    const std::string message = problemsOf(manyBadFamilies(20));
    EXPECT_NE(message.find("family 20, child"), std::string::npos);
    EXPECT_EQ(message.find(" more"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 22);
}

TEST(UnusableInput, OneProblemIsSingular) {
    EXPECT_EQ(problemsOf("0\n0\n1\n2\n"),
              "tdtinput.dat: the input cannot be analysed (1 problem):\n"
              "  the replicate count is 0; it must be 1 or more\n");
}

}  // namespace
}  // namespace triotdt::input
