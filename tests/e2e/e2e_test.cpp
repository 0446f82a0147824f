// Runs the built program in a fresh folder and compares whole files: both
// reports, the console, standard error and the exit status. The golden cases
// stand in one table; the runs after it check what a table cannot.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt {
namespace {

namespace fs = std::filesystem;

const fs::path cases = TRIOTDT_E2E_CASES;

const char* const reports[] = {"tdttran.txt", "tdtout.txt"};

// Empty when the texts are equal, otherwise where they first differ.
std::string firstDifference(const std::string& expected, const std::string& actual) {
    if (expected == actual) return {};
    std::istringstream e(expected), a(actual);
    std::string eLine, aLine;
    for (int line = 1;; ++line) {
        const bool eMore = static_cast<bool>(std::getline(e, eLine));
        const bool aMore = static_cast<bool>(std::getline(a, aLine));
        if (!eMore || !aMore || eLine != aLine) {
            return "first difference on line " + std::to_string(line) + "\n  expected: " + (eMore ? eLine : "(end)") +
                   "\n  actual:   " + (aMore ? aLine : "(end)");
        }
    }
}

test::RunResult runOn(const fs::path& input, const test::ScratchFolder& folder) {
    fs::copy_file(input, folder / "tdtinput.dat");
    return test::runProgram(folder.path());
}

// One golden case: a folder of tests/e2e/cases holding tdtinput.dat (and
// tdtsex.tsv for a run on X) and expected/, the arguments of the run, its exit status and the reports it
// leaves. The console is always compared with expected/console.txt, and
// standard error with expected/stderr.txt (empty when there is none); each
// report listed is compared with expected/<report>, and the folder must hold
// nothing else but the input.
struct GoldenCase {
    const char* folder;
    std::vector<std::string> arguments;
    int status;
    std::vector<std::string> reports;
};

const std::vector<std::string> bothReports = {"tdtout.txt", "tdttran.txt"};

// The expected files were written by the program and then checked by hand
// where each comment says.
const GoldenCase goldenCases[] = {
    // Complete runs.
    //
    // input-example: the two-family example of three loci with 2, 3 and 4
    // alleles; both families are of known phase at every locus. Checked by
    // hand: window 1-1 transmits haplotype 1 three times and 2 once, keeps
    // back 1 once and 2 three times; each mother is homozygous (2.0 and 2.0
    // copies); frequencies .500 and .500; D is 4 − 2 = 2 for both haplotypes,
    // so every statistic is (3 − 1)²/2 + (1 − 3)²/2 = 4.000. Its p-value
    // (.265) is half the share of replicates in which both families or
    // neither exchange (the others give 0), as it should be near .25.
    // Window 2-2: frequencies 3/8, 4/8, 1/8 and statistic 1/3 + 0 + 1 = 1.333.
    {"input-example", {}, 0, bothReports},
    // one-family: a single family of known phase. Checked by hand: window 1-1
    // counts transmitted 1.0 1.0, untransmitted .0 2.0, the mother's 2/2 as
    // 2.0 copies, frequencies .250 .750, statistic 1 + 1 = 2.000; window 1-2
    // has its four haplotypes at codes 3, 4, 5, 6, each carried once
    // (statistic 4.000). With one family an exchange only flips the sign of
    // transmitted − untransmitted, so every replicate ties with the observed
    // value and every p-value is .500.
    {"one-family", {}, 0, bothReports},
    // homozygous-family: family 2 is homozygous at both loci (1/1 2/2 in all
    // three). Checked by hand: in window 1-1 it adds 2 to the transmitted, 2
    // to the untransmitted and 4.0 copies to the homozygote count of haplotype
    // 1 (transmit 5.0 1.0, untransmit 3.0 3.0, homo 6.0 2.0) and nothing to
    // the statistic: (5 − 3)²/2 + (1 − 3)²/2 = 4.000, the same as without it.
    // Window 1-2: homo .0 6.0 2.0 .0, frequencies .167 .500 .167 .167,
    // statistic 4.000.
    {"homozygous-family", {}, 0, bothReports},
    // seven-loci-ambiguous: seven biallelic loci; family 1 is 1/2 in all
    // three persons at every locus, so window 1-7 gives it 128 phase
    // combinations and its 128-haplotype lines run over three lines (60, 60
    // and 8 values). Checked by hand: the families of known phase carry only
    // haplotypes 1 (all 1s) and 128 (all 2s): transmit 4.0 and 2.0,
    // untransmit 2.0 and 4.0, homo 4.0 and 4.0, frequency .500 and .500,
    // Punamb 4.000. Pg is 2.000: under those frequencies only the family's
    // first and last combinations have weight, one half each.
    {"seven-loci-ambiguous", {}, 0, bothReports},
    // x-linked: two sons and four daughters on X (tdtsex.tsv), daughter 4
    // without her father. Checked by hand: at locus 1 the mothers of known
    // phase transmit allele 1 three times and 2 twice and keep back 1 once
    // and 2 four times; mother 6 is 2/2 (2.0 copies); frequencies among the
    // ten haplotypes of the five mothers .400 .600; Punamb (3 − 1)²/4 +
    // (2 − 4)²/4 = 2.000 (= 2 × (b − c)²/(b + c) over heterozygous mothers,
    // b = 3, c = 1). Mother 4, open (her daughter 1/2), adds one half to each
    // count: Pe 4/5 + 4/5 = 1.600. At locus 2 daughter 4 is 1/1 but her
    // mother stays open without the father: transmit 2.0 3.0 = untransmit,
    // statistic 0. Window 1-2: transmit 1 2 1 1, untransmit 0 1 2 2,
    // frequencies .100 .300 .300 .300, Punamb 1 + 3 × 1/3 = 2.000. The
    // headings say X-linked, the console's first line the sons and daughters.
    {"x-linked", {}, 0, bothReports},
    // The same with two and three threads: the reports do not depend on them.
    {"seven-loci-ambiguous", {"--threads", "2"}, 0, bothReports},
    {"input-example", {"--threads", "3"}, 0, bothReports},

    // Failed runs: message on standard error, status 1, files as left.
    //
    // truncated: the input ends in the middle of family 2's child record:
    // both reports were created before reading and stay empty.
    {"truncated", {}, 1, bothReports},
    // invalid-number: a value that is not a whole number: the message names
    // the line, the record, the value and its locus; both reports stay empty.
    {"invalid-number", {}, 1, bothReports},
    // refused: four problems (a negative allele beside a missing one, two
    // children that cannot come from their parents, an allele beyond its
    // locus's count), all listed with the family, the person, the locus and
    // the genotypes, then how to mend a Mendelian inconsistency; both reports
    // stay empty.
    {"refused", {}, 1, bothReports},
};

class Golden : public testing::TestWithParam<GoldenCase> {};

TEST_P(Golden, WritesTheExpectedFiles) {
    const GoldenCase& golden = GetParam();
    const fs::path expected = cases / golden.folder / "expected";
    const test::ScratchFolder folder;
    std::vector<std::string> wantedFiles{"tdtinput.dat"};
    fs::copy_file(cases / golden.folder / "tdtinput.dat", folder / "tdtinput.dat");
    if (fs::exists(cases / golden.folder / "tdtsex.tsv")) {
        fs::copy_file(cases / golden.folder / "tdtsex.tsv", folder / "tdtsex.tsv");
        wantedFiles.push_back("tdtsex.tsv");
    }
    const test::RunResult result = test::runProgram(folder.path(), golden.arguments);

    EXPECT_EQ(result.status, golden.status);
    const std::string wantedErr = fs::exists(expected / "stderr.txt") ? test::readFile(expected / "stderr.txt") : "";
    EXPECT_EQ(result.err, wantedErr);
    const std::string console = firstDifference(test::readFile(expected / "console.txt"), result.out);
    EXPECT_TRUE(console.empty()) << "console: " << console;

    for (const std::string& report : golden.reports) {
        wantedFiles.push_back(report);
        ASSERT_TRUE(fs::exists(folder / report)) << report << " was not created";
        const std::string difference =
            firstDifference(test::readFile(expected / report), test::readFile(folder / report));
        EXPECT_TRUE(difference.empty()) << report << ": " << difference;
    }
    std::sort(wantedFiles.begin(), wantedFiles.end());
    EXPECT_EQ(test::filesIn(folder.path()), wantedFiles);
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, testing::ValuesIn(goldenCases),
                         [](const testing::TestParamInfo<GoldenCase>& info) {
                             std::string name;
                             for (const char c : std::string(info.param.folder)) {
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             }
                             for (const std::string& argument : info.param.arguments) {
                                 for (const char c : argument) {
                                     if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                                 }
                             }
                             return name;
                         });

// comments: the input of input-example with text after the values of every
// statement, digits included, and a blank line between two statements: it
// reads like the plain example, to the byte.
TEST(CompleteRun, CommentsChangeNothing) {
    const test::ScratchFolder plain, commented;
    const test::RunResult plainRun = runOn(cases / "input-example" / "tdtinput.dat", plain);
    const test::RunResult commentedRun = runOn(cases / "comments" / "tdtinput.dat", commented);
    EXPECT_EQ(commentedRun.status, 0);
    EXPECT_EQ(commentedRun.out, plainRun.out);
    for (const char* report : reports) {
        EXPECT_EQ(test::readFile(commented / report), test::readFile(plain / report)) << report;
    }
}

TEST(CompleteRun, TwoRunsOnTheSameInputWriteIdenticalFiles) {
    const test::ScratchFolder first, second;
    const fs::path input = cases / "seven-loci-ambiguous" / "tdtinput.dat";
    const test::RunResult a = runOn(input, first);
    const test::RunResult b = runOn(input, second);
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(b.status, 0);
    EXPECT_EQ(a.out, b.out);
    for (const char* report : reports) EXPECT_EQ(test::readFile(first / report), test::readFile(second / report));
}

TEST(FailedRun, AnExistingTdtoutLeavesAnEmptyTdttranBehind) {
    const test::ScratchFolder folder;
    test::writeFile(folder / "tdtout.txt", "an earlier run's results\r\n");
    const test::RunResult result = runOn(cases / "input-example" / "tdtinput.dat", folder);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "\nrun-time error 1002: OPEN of file 'tdtout.txt'\nfile already exists\n");
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(test::readFile(folder / "tdtout.txt"), "an earlier run's results\r\n");
    ASSERT_TRUE(fs::exists(folder / "tdttran.txt"));
    EXPECT_EQ(fs::file_size(folder / "tdttran.txt"), 0u);
}

TEST(FailedRun, ASecondRunInTheSameFolderFailsAtTdttranAndWritesNothing) {
    const test::ScratchFolder folder;
    const test::RunResult first = runOn(cases / "input-example" / "tdtinput.dat", folder);
    ASSERT_EQ(first.status, 0);
    const std::string transmission = test::readFile(folder / "tdttran.txt");
    const std::string results = test::readFile(folder / "tdtout.txt");

    const test::RunResult second = test::runProgram(folder.path());
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err, "\nrun-time error 1002: OPEN of file 'tdttran.txt'\nfile already exists\n");
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(test::readFile(folder / "tdttran.txt"), transmission);
    EXPECT_EQ(test::readFile(folder / "tdtout.txt"), results);
    EXPECT_EQ(test::filesIn(folder.path()), (std::vector<std::string>{"tdtinput.dat", "tdtout.txt", "tdttran.txt"}));
}

}  // namespace
}  // namespace triotdt
