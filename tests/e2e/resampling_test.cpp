// Runs with the resampling options: the counter-based stream (--seed) and
// the window sizes (--window-sizes). Each compares whole reports with those
// of other runs of the same input.

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

// The part of a report or of the console that holds the windows of `size`
// loci: from the blank line before its heading to the next blank line before
// a heading, or to the last window.
std::string sizePart(const std::string& text, std::int32_t size) {
    const std::string heading =
        (text.find('\r') != std::string::npos ? "\r\n" : "\n") + std::string(" the result of    ");
    const std::size_t from = text.find(heading + std::to_string(size) + " loci");
    if (from == std::string::npos) return {};
    const std::size_t to = std::min(text.find(heading, from + heading.size()), text.find("Stop - "));
    return text.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

TEST(WindowSizes, OnlyThoseSizesWithTheBytesOfAFullRun) {
    const std::string input = sixLoci(60);
    for (const std::vector<std::string>& stream :
         {std::vector<std::string>{}, std::vector<std::string>{"--seed", "5"}}) {
        std::vector<std::string> args = stream;
        const Outputs full = runWith(input, args);
        args.insert(args.end(), {"--window-sizes", "3,1", "--threads", "2"});
        const Outputs some = runWith(input, args);
        // Sizes 1 and 3 as the full run has them, one after the other;
        // the reports hold nothing else.
        for (const auto& [fullText, someText] :
             {std::pair{&full.results, &some.results}, std::pair{&full.transmission, &some.transmission},
              std::pair{&full.result.out, &some.result.out}}) {
            const std::string expected = sizePart(*fullText, 1) + sizePart(*fullText, 3);
            EXPECT_NE(someText->find(expected), std::string::npos) << *someText;
            EXPECT_EQ(sizePart(*someText, 2), "");
        }
        EXPECT_EQ(some.results, sizePart(full.results, 1) + sizePart(full.results, 3));
    }
}

}  // namespace
}  // namespace triotdt
