// Every kind of bad input tried on the program, and its answer: the exact
// message on standard error, exit status 1 and both reports left empty; or,
// for input that only looks odd, a complete run. docs/bad-input.md lists the
// same cases. The inputs are the seeds of the fuzz corpus.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "e2e/trio_input.h"
#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt::test {
namespace {

const std::filesystem::path corpus = TRIOTDT_CORPUS;
const std::string stopLine = "Stop - Program terminated.\n";

RunResult runOn(const ScratchFolder& folder, const std::string& seed, const std::vector<std::string>& args = {}) {
    std::filesystem::copy_file(corpus / (seed + ".dat"), folder.path() / "tdtinput.dat");
    return runProgram(folder.path(), args);
}

struct Refused {
    const char* seed;
    const char* errors;
};

void PrintTo(const Refused& refused, std::ostream* out) { *out << refused.seed; }

class RefusedInput : public testing::TestWithParam<Refused> {};

TEST_P(RefusedInput, EndsWithItsMessageAndEmptyReports) {
    ScratchFolder folder;
    const RunResult run = runOn(folder, GetParam().seed);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, GetParam().errors);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(folder.has("tdttran.txt") && folder.has("tdtout.txt"));
    EXPECT_EQ(folder.read("tdttran.txt"), "");
    EXPECT_EQ(folder.read("tdtout.txt"), "");
}

// Every shard refuses it with the same message, whether or not it holds the
// bad loci, and leaves no parts to merge; so does the plan of the shards.
TEST_P(RefusedInput, EveryShardAndThePlanRefuseItAsAWholeRun) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--shard", "1/3"}, {"--shard", "2/3"}, {"--shard", "3/3"}, {"--shard-plan", "3"}}) {
        ScratchFolder folder;
        const RunResult run = runOn(folder, GetParam().seed, args);
        EXPECT_EQ(run.status, 1) << args[1];
        EXPECT_EQ(run.err, GetParam().errors) << args[1];
        EXPECT_EQ(run.out, "") << args[1];
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1) << args[1];
    }
}

const Refused
    refusedSeeds
        [] =
            {
                {"absurd-allele-counts",
                 "tdtinput.dat: the input cannot be analysed (7 problems):\n"
                 "  locus 1: the allele count is 2147483647; at most 65535 alleles per locus are supported\n"
                 "  locus 2: the allele count is 2147483647; at most 65535 alleles per locus are supported\n"
                 "  locus 3: the allele count is 2147483647; at most 65535 alleles per locus are supported\n"
                 "  locus 4: the allele count is 2147483647; at most 65535 alleles per locus are supported\n"
                 "  locus 5: the allele count is 2147483647; at most 65535 alleles per locus are supported\n"
                 "  locus 6: the allele count is 2147483647; at most 65535 alleles per locus are supported\n"
                 "  locus 7: the allele count is 2147483647; at most 65535 alleles per locus are supported\n"},
                {"allele-int-max",
                 "tdtinput.dat: the input cannot be analysed (1 problem):\n  family 1, father, locus 1: genotype 2147483647/1: allele 2147483647 is outside 1..2, the alleles of locus 1\n"},
                {"allele-out-of-range",
                 "tdtinput.dat: the input cannot be analysed (2 problems):\n  family 1, father, locus 1: genotype 1/3: allele 3 is outside 1..2, the alleles of locus 1\n  family 1, mother, locus 2: genotype 1/4: allele 4 is outside 1..3, the alleles of locus 2\n"},
                {"child-from-one-parent",
                 "tdtinput.dat: the input cannot be analysed (1 problem):\n  family 1, child, locus 1: genotype 1/2 cannot have one allele from the father (1/2) and the other from the mother (3/3)\n"
                 "To keep such a family, write the child's genotype at that locus as 0 0 (missing): the family then leaves only the windows that hold that locus.\n"},
                {"cr-line-ends",
                 "\nrun-time error 2001: READ of file 'tdtinput.dat' (the replicate count)\nend of file: the statement needs 1 value and the file ended after 0 (line 1)\n"},
                {"empty",
                 "\nrun-time error 2001: READ of file 'tdtinput.dat' (the family count)\nend of file: the statement needs 1 value and the file is empty\n"},
                {"garbage-binary",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the family count)\ninvalid number '\\x00\\x01\\x02\\x03\\x04\\x05\\x06\\x07\\x08' on line 1, value 1 of 1: not a whole number\n"},
                {"garbage-bom",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the family count)\ninvalid number '\\xef\\xbb\\xbf2' on line 1, value 1 of 1: not a whole number\n"},
                {"garbage-decimal",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the replicate count)\ninvalid number '1.5' on line 2, value 1 of 1: not a whole number\n"},
                {"garbage-double-sign",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the replicate count)\ninvalid number '--10' on line 2, value 1 of 1: not a whole number\n"},
                {"garbage-exponent",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the family count)\ninvalid number '1e2' on line 1, value 1 of 1: not a whole number\n"},
                {"garbage-hex",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the allele counts of the loci)\ninvalid number '0x2' on line 4, value 1 of 3 (locus 1): not a whole number\n"},
                {"garbage-lone-sign",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the allele counts of the loci)\ninvalid number '+' on line 4, value 2 of 3 (locus 2): not a whole number\n"},
                {"garbage-two-commas",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the allele counts of the loci)\ninvalid number '' on line 4, value 2 of 3 (locus 2): empty value between commas\n"},
                {"garbage-word",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the locus count)\ninvalid number 'three' on line 3, value 1 of 1: not a whole number\n"},
                {"huge-many-digits",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the allele counts of the loci)\ninvalid number '999999999999999999999999...' on line 4, value 2 of 3 (locus 2): outside the range of 32-bit integers\n"},
                {"huge-negative",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the family count)\ninvalid number '-2147483649' on line 1, value 1 of 1: outside the range of 32-bit integers\n"},
                {"huge-number",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the replicate count)\ninvalid number '2147483648' on line 2, value 1 of 1: outside the range of 32-bit integers\n"},
                {"int-min-allele",
                 "tdtinput.dat: the input cannot be analysed (1 problem):\n  family 1, father, locus 1: genotype -2147483648/2: allele -2147483648 is outside 1..2, the alleles of locus 1\n"},
                {"mendelian-error",
                 "tdtinput.dat: the input cannot be analysed (1 problem):\n  family 1, child, locus 1: genotype 3/1 cannot have one allele from the father (1/2) and the other from the mother (1/2)\n"
                 "To keep such a family, write the child's genotype at that locus as 0 0 (missing): the family then leaves only the windows that hold that locus.\n"},
                {"million-digit-number",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the replicate count)\ninvalid number '111111111111111111111111...' on line 2, value 1 of 1: outside the range of 32-bit integers\n"},
                {"negative-allele-count",
                 "tdtinput.dat: the input cannot be analysed (2 problems):\n  locus 1: the allele count is -2; it must be 1 or more\n  locus 2: the allele count is 0; it must be 1 or more\n"},
                {"negative-allele", "tdtinput.dat: the input cannot be analysed (1 problem):\n  family 1, father, locus 1: genotype -1/2: allele -1 is outside 1..2, the alleles of locus 1\n"},
                {"negative-families",
                 "tdtinput.dat: the input cannot be analysed (1 problem):\n  the family count is -1; it must be 0 or more\n"},
                {"negative-replicates",
                 "tdtinput.dat: the input cannot be analysed (1 problem):\n  the replicate count is -5; it must be 1 or more\n"},
                {"nul-as-separator",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the allele counts of the loci)\ninvalid number '2\\x003\\x004' on line 4, value 1 of 3 (locus 1): not a whole number\n"},
                {"nul-in-number",
                 "\nrun-time error 2002: READ of file 'tdtinput.dat' (the allele counts of the loci)\ninvalid number '3\\x004' on line 4, value 2 of 3 (locus 2): not a whole number\n"},
                {"only-blanks",
                 "\nrun-time error 2001: READ of file 'tdtinput.dat' (the family count)\nend of file: the statement needs 1 value and the file ended after 0 (line 3)\n"},
                {"truncated-allele-counts",
                 "\nrun-time error 2001: READ of file 'tdtinput.dat' (the allele counts of the loci)\nend of file: the statement needs 6 values and the file ended after 3 (line 4)\n"},
                {"truncated-header",
                 "\nrun-time error 2001: READ of file 'tdtinput.dat' (the locus count)\nend of file: the statement needs 1 value and the file ended after 0 (line 2)\n"},
                {"truncated-in-number",
                 "\nrun-time error 2001: READ of file 'tdtinput.dat' (family 2, child's record)\nend of file: the statement needs 6 values and the file ended after 5 (line 10)\n"},
                {"truncated-record",
                 "\nrun-time error 2001: READ of file 'tdtinput.dat' (family 20, child's record)\nend of file: the statement needs 12 values and the file ended after 7 (line 64)\n"},
                {"zero-replicates",
                 "tdtinput.dat: the input cannot be analysed (1 problem):\n  the replicate count is 0; it must be 1 or more\n"},
};

INSTANTIATE_TEST_SUITE_P(Corpus, RefusedInput, testing::ValuesIn(refusedSeeds),
                         [](const testing::TestParamInfo<Refused>& info) {
                             std::string name = info.param.seed;
                             std::erase(name, '-');
                             return name;
                         });

TEST(RefusedInput, ShowsTwentyProblemsAndCountsTheRest) {
    ScratchFolder folder;
    const RunResult run = runOn(folder, "many-problems");
    std::string expected = "tdtinput.dat: the input cannot be analysed (30 problems):\n";
    for (int f = 1; f <= 20; ++f) {
        expected += "  family " + std::to_string(f) +
                    ", father, locus 1: genotype 3/3: allele 3 is outside 1..2, the alleles of locus 1\n";
    }
    expected += "  ... and 10 more\n";
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, expected);
    ScratchFolder shardFolder;
    const RunResult shard = runOn(shardFolder, "many-problems", {"--shard", "2/2"});
    EXPECT_EQ(shard.status, 1);
    EXPECT_EQ(shard.err, expected);
}

class OddButValidInput : public testing::TestWithParam<const char*> {};

TEST_P(OddButValidInput, RunsToTheEnd) {
    ScratchFolder folder;
    const RunResult run = runOn(folder, GetParam());
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(run.out.ends_with(stopLine));
}

// A line of a million characters after a record, a record line of a million
// values, NUL bytes in a comment, no families, no loci, a negative locus
// count, signs, leading zeros, commas, tabs and CR LF, a missing genotype.
INSTANTIATE_TEST_SUITE_P(Corpus, OddButValidInput,
                         testing::Values("million-character-comment", "million-values-line", "nul-in-comment",
                                         "no-families", "no-loci", "negative-loci", "valid-layouts", "allele-zero"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::erase(name, '-');
                             return name;
                         });

TEST(OddButValidInput, WindowsBeyondThirtyTwoBitCodesAreSkipped) {
    // Seven loci of 46341 alleles: every window of two loci or more has more
    // haplotypes than 32-bit codes can number, and the product of all seven
    // overflows 64 bits.
    ScratchFolder folder;
    const RunResult run = runOn(folder, "overflow-seven-loci");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("the number of haplotye2147488281exceed the permited\n"
                           "window of loci 1 to 2 skipped: its haplotypes (2147488281) cannot be numbered "
                           "with 32-bit codes\n"),
              std::string::npos);
    EXPECT_NE(run.out.find("the number of haplotye**********exceed the permited\n"
                           "window of loci 1 to 7 skipped: its haplotypes (over 9223372036854775807) cannot "
                           "be numbered with 32-bit codes\n"),
              std::string::npos);
    EXPECT_TRUE(run.out.ends_with(stopLine));
}

std::string openError(int code, const std::string& file, const std::string& reason) {
    return "\nrun-time error " + std::to_string(code) + ": OPEN of file '" + file + "'\n" + reason + "\n";
}

// The run must fail at the opening of tdtinput.dat and create no report.
void expectInputNotOpened(const ScratchFolder& folder, int code, const std::string& reason) {
    const RunResult run = runProgram(folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, openError(code, "tdtinput.dat", reason));
    EXPECT_FALSE(folder.has("tdttran.txt") || folder.has("tdtout.txt"));
}

TEST(InputFile, MissingCreatesNoReport) {
    ScratchFolder folder;
    expectInputNotOpened(folder, 1001, "file not found");
}

TEST(InputFile, DirectoryCreatesNoReport) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.path() / "tdtinput.dat");
    expectInputNotOpened(folder, 1003, "cannot open: it is a directory, not a file");
}

TEST(InputFile, ReadFailureNamesTheStatement) {
    // Reading /proc/self/mem from its start fails with an input/output error.
    ScratchFolder folder;
    std::filesystem::create_symlink("/proc/self/mem", folder.path() / "tdtinput.dat");
    const RunResult run = runProgram(folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "\nrun-time error 2003: READ of file 'tdtinput.dat' (the family count)\n"
              "the file cannot be read: Input/output error\n");
}

TEST(InputFile, EndlessDeviceWithoutSeparatorsIsRefusedAtOnce) {
    ScratchFolder folder;
    std::filesystem::create_symlink("/dev/zero", folder.path() / "tdtinput.dat");
    const RunResult run = runProgram(folder.path());
    EXPECT_EQ(run.status, 1);
    std::string nul24;
    for (int i = 0; i < 24; ++i) nul24 += "\\x00";
    EXPECT_EQ(run.err,
              "\nrun-time error 2002: READ of file 'tdtinput.dat' (the family count)\n"
              "invalid number '" +
                  nul24 + "...' on line 1, value 1 of 1: not a whole number\n");
}

// Runs on valid input with `report` already there; the run must refuse to
// overwrite it.
void expectEarlierReportKept(const ScratchFolder& folder, const std::string& report) {
    folder.writeInput(trioInput(3, 2, {2, 2}));
    std::ofstream(folder.path() / report) << "earlier";
    const RunResult run = runProgram(folder.path());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, openError(1002, report, "file already exists"));
    EXPECT_EQ(folder.read(report), "earlier");
}

TEST(ReportFile, ExistingTransmissionReportIsLeftAsItIs) {
    ScratchFolder folder;
    expectEarlierReportKept(folder, "tdttran.txt");
    EXPECT_FALSE(folder.has("tdtout.txt"));
}

TEST(ReportFile, ExistingResultReportLeavesAnEmptyTransmissionReport) {
    ScratchFolder folder;
    expectEarlierReportKept(folder, "tdtout.txt");
    EXPECT_TRUE(folder.has("tdttran.txt"));
    EXPECT_EQ(folder.read("tdttran.txt"), "");
}

}  // namespace
}  // namespace triotdt::test
