// Runs with the resampling options: the counter-based stream (--seed). Each
// compares whole reports with those of other runs of the same input.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/input_text.h"
#include "support/program_run.h"
#include "support/random_trios.h"
#include "support/test_support.h"

namespace triotdt {
namespace {

using test::ScratchFolder;

// 40 trios over 6 loci of 3 alleles: every window has families of known and
// of ambiguous phase.
std::string sixLoci(std::int32_t replicates) {
    haplotype::FamilyData data = test::randomTrios(21, 40, std::vector<std::int32_t>(6, 3));
    data.replicateCount = replicates;
    return test::inputText(data);
}

// A run in a folder of its own: its status, console and reports.
struct Outputs {
    test::RunResult result;
    std::string transmission, results;
};

Outputs runWith(const std::string& input, const std::vector<std::string>& args) {
    const ScratchFolder folder;
    folder.writeInput(input);
    Outputs run{test::runProgram(folder.path(), args), folder.read("tdttran.txt"), folder.read("tdtout.txt")};
    EXPECT_EQ(run.result.status, 0) << run.result.err;
    return run;
}

// The lines of `text` whose first word is `word`, or, when `word` is
// "marker", the p-value lines.
std::vector<std::string> linesOf(const std::string& text, const std::string& word) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first == word) lines.push_back(line);
    }
    return lines;
}

TEST(Seed, ChangesThePValuesNeverTheStatisticsAndSaysSoFirst) {
    const std::string input = sixLoci(200);
    const Outputs plain = runWith(input, {});
    const Outputs one = runWith(input, {"--seed", "1"});
    const Outputs two = runWith(input, {"--seed", "2", "--threads", "1"});
    EXPECT_EQ(two.result.out.substr(0, two.result.out.find('\n') + 1),
              "Resampling: counter-based exchange stream (Philox4x32-10), seed 2; 200 replicates in every window.\n");
    for (const Outputs* seeded : {&one, &two}) {
        EXPECT_EQ(seeded->transmission, plain.transmission);
        EXPECT_EQ(linesOf(seeded->results, "statis"), linesOf(plain.results, "statis"));
        EXPECT_EQ(linesOf(seeded->result.out, "statis"), linesOf(plain.result.out, "statis"));
    }
    EXPECT_NE(linesOf(one.results, "marker"), linesOf(two.results, "marker"));
    EXPECT_NE(linesOf(one.results, "marker"), linesOf(plain.results, "marker"));
    // The same seed on any number of threads: the same bytes.
    const Outputs twoOnThree = runWith(input, {"--seed", "2", "--threads", "3"});
    EXPECT_EQ(twoOnThree.results, two.results);
    EXPECT_EQ(twoOnThree.result.out, two.result.out);
}

}  // namespace
}  // namespace triotdt
