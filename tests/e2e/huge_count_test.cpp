// Counts far beyond what the file holds must fail at the end of the file
// without reserving room for them first, and many loci must run in memory
// bounded by what the file holds. Each run gets a memory limit that an
// allocation for the claimed counts would exceed many times over.
#include <gtest/gtest.h>

#include "e2e/trio_input.h"
#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt::test {
namespace {

constexpr rlim_t memoryLimit = rlim_t{256} << 20;

RunResult runWithMemoryLimit(const ScratchFolder& folder, const std::string& input) {
    folder.writeInput(input);
    return runProgram(folder.path(), {}, withMemoryLimit(memoryLimit));
}

// The run on `input` must end at the end of the file, in `statement`, with
// both reports empty.
void expectEndOfFile(const std::string& input, const std::string& statement, const std::string& detail) {
    ScratchFolder folder;
    const RunResult run = runWithMemoryLimit(folder, input);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "\nrun-time error 2001: READ of file 'tdtinput.dat' (" + statement + ")\nend of file: " + detail + "\n");
    EXPECT_EQ(folder.read("tdttran.txt"), "");
    EXPECT_EQ(folder.read("tdtout.txt"), "");
}

TEST(HugeCounts, FamilyCountBeyondTheFileEndsAtItsEnd) {
    // 2147483647 families of two loci would take 48 GiB; the file holds one.
    expectEndOfFile("2147483647\n10\n2\n2 2\n1 2 1 2\n1 2 1 2\n1 1 2 2\n", "family 2, father's record",
                    "the statement needs 4 values and the file ended after 0 (line 7)");
}

TEST(HugeCounts, LocusCountBeyondTheFileEndsAtItsEnd) {
    expectEndOfFile("2\n10\n2147483647\n2 2 2 2\n", "the allele counts of the loci",
                    "the statement needs 2147483647 values and the file ended after 4 (line 4)");
}

TEST(HugeCounts, FamilyCountWithoutLociReadsNoRecords) {
    ScratchFolder folder;
    const RunResult run = runWithMemoryLimit(folder, "2147483647\n10\n0\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Stop - Program terminated.\n");
    EXPECT_EQ(folder.read("tdtout.txt"), "");
}

TEST(HugeCounts, ManyLociRunInBoundedMemory) {
    // Locus numbers above 99 print as asterisks; every window is analysed.
    constexpr std::int32_t loci = 1000;
    ScratchFolder folder;
    std::vector<std::int32_t> alleles(loci);
    for (std::int32_t l = 0; l < loci; ++l) alleles[static_cast<std::size_t>(l)] = 2 + l % 3;
    const RunResult run = runWithMemoryLimit(folder, trioInput(3, 1, alleles));

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.ends_with("Stop - Program terminated.\n"));
    const std::string results = folder.read("tdtout.txt");
    std::size_t pValueLines = 0;
    for (std::size_t at = results.find("Pvalue"); at != std::string::npos; at = results.find("Pvalue", at + 1)) {
        ++pValueLines;
    }
    EXPECT_EQ(pValueLines, std::size_t{7 * loci - 21});
    EXPECT_NE(results.find("\r\n marker99-99 Pvalue"), std::string::npos);
    EXPECT_NE(results.find("\r\n marker**-** Pvalue"), std::string::npos);
}

}  // namespace
}  // namespace triotdt::test
