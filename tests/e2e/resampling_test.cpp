// Runs with the resampling options: the counter-based stream (--seed),
// adaptive replicates (--adaptive) and the window sizes (--window-sizes),
// each against other runs of the same input.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "output/familywise_file.h"
#include "output/results_table.h"
#include "support/input_text.h"
#include "support/program_run.h"
#include "support/random_trios.h"
#include "support/test_support.h"

namespace triotdt {
namespace {

// 40 trios over 6 loci of 3 alleles: every window has families of known and
// of ambiguous phase. With `signal`, every parent carrying allele 1 at locus
// 2 transmits it, so the windows holding locus 2 have p-values far below 1/R.
std::string sixLoci(std::int32_t replicates, bool signal = false) {
    haplotype::FamilyData data = test::randomTrios(21, 40, std::vector<std::int32_t>(6, 3));
    data.replicateCount = replicates;
    std::vector<std::int32_t> father = data.fatherAlleles.values(), mother = data.motherAlleles.values(),
                              child = data.childAlleles.values();
    for (std::size_t at = 2; signal && at < child.size(); at += 12) {  // locus 2 of each family
        child[at] = father[at] == 1 || father[at + 1] == 1 ? 1 : father[at];
        child[at + 1] = mother[at] == 1 || mother[at + 1] == 1 ? 1 : mother[at];
    }
    data.childAlleles = haplotype::AlleleTable(3);
    data.childAlleles.append(child);
    return test::inputText(data);
}

struct Outputs {
    test::RunResult run;
    std::string transmission, results, table, familyWise;
};

Outputs runWith(const std::string& input, std::vector<std::string> args) {
    const test::ScratchFolder folder;
    folder.writeInput(input);
    args.insert(args.end(), {"--table", "table.tsv"});
    Outputs outputs{test::runProgram(folder.path(), args),
                    folder.read("tdttran.txt"),
                    folder.read("tdtout.txt"),
                    folder.read("table.tsv"),
                    {}};
    if (std::filesystem::exists(folder / "tdtfamilywise.tsv")) outputs.familyWise = folder.read("tdtfamilywise.tsv");
    EXPECT_EQ(outputs.run.status, 0) << outputs.run.err;
    return outputs;
}

std::vector<window::WindowResult> windowsOf(const Outputs& outputs) {
    const test::ScratchFolder folder;
    test::writeFile(folder / "table.tsv", outputs.table);
    std::vector<window::WindowResult> windows;
    output::readTableFile((folder / "table.tsv").string(),
                          [&](const window::WindowResult& w) { windows.push_back(w); });
    return windows;
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n') + 1); }

TEST(Seed, ChangesThePValuesNeverTheStatisticsAndSaysSoFirst) {
    const std::string input = sixLoci(200);
    const Outputs plain = runWith(input, {});
    const Outputs one = runWith(input, {"--seed", "1"});
    const Outputs two = runWith(input, {"--seed", "2", "--threads", "1"});
    EXPECT_EQ(firstLine(two.run.out),
              "Resampling: counter-based exchange stream (Philox4x32-10), seed 2; 200 replicates in every window.\n");
    const std::vector<window::WindowResult> windows[] = {windowsOf(plain), windowsOf(one), windowsOf(two)};
    for (std::size_t w = 0; w < windows[0].size(); ++w) {
        EXPECT_EQ(windows[1][w].statistics, windows[0][w].statistics);
        EXPECT_EQ(windows[2][w].statistics, windows[0][w].statistics);
    }
    EXPECT_EQ(one.transmission, plain.transmission);
    EXPECT_NE(one.results, two.results);
    EXPECT_NE(one.results, plain.results);
    // The same seed on any number of threads: the same bytes.
    const Outputs twoOnThree = runWith(input, {"--seed", "2", "--threads", "3"});
    EXPECT_EQ(twoOnThree.results, two.results);
    EXPECT_EQ(twoOnThree.run.out, two.run.out);
}

// The part of a report or of the console that holds the windows of `size`
// loci: from the blank line before its heading to the blank line before the
// next heading, or to the last window.
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
    for (std::vector<std::string> args : {std::vector<std::string>{}, std::vector<std::string>{"--seed", "5"}}) {
        const Outputs full = runWith(input, args);
        args.insert(args.end(), {"--window-sizes", "3,1", "--threads", "2"});
        const Outputs some = runWith(input, args);
        EXPECT_EQ(some.results, sizePart(full.results, 1) + sizePart(full.results, 3));
        EXPECT_EQ(some.transmission, sizePart(full.transmission, 1) + sizePart(full.transmission, 3));
        EXPECT_NE(some.run.out.find(sizePart(full.run.out, 1) + sizePart(full.run.out, 3)), std::string::npos);
        EXPECT_EQ(sizePart(some.run.out, 2), "");
    }
}

// R = 100 and MAX = 6400: each window stops after 100 · 2^k replicates, and
// before 6400 only once every statistic has 20 exceedances; the bits of its
// replicates are those of a fixed run of as many, and so are its p-values.
// Batches of more than a few hundred replicates are shared among threads.
TEST(Adaptive, WindowsStopByTheRuleWithTheBitsOfAFixedRun) {
    const Outputs adaptive = runWith(sixLoci(100, true), {"--adaptive", "6400", "--seed", "3", "--threads", "1"});
    EXPECT_EQ(firstLine(adaptive.run.out),
              "Resampling: counter-based exchange stream (Philox4x32-10), seed 3; adaptive replicates: 100 in every "
              "window, doubled until every statistic has 20 exceedances, at most 6400.\n");
    const Outputs threaded = runWith(sixLoci(100, true), {"--adaptive", "6400", "--seed", "3", "--threads", "3"});
    EXPECT_EQ(threaded.results, adaptive.results);
    EXPECT_EQ(threaded.table, adaptive.table);

    const std::vector<window::WindowResult> windows = windowsOf(adaptive);
    const std::vector<window::WindowResult> fixed = windowsOf(runWith(sixLoci(6400, true), {"--seed", "3"}));
    ASSERT_EQ(windows.size(), fixed.size());
    std::map<std::int32_t, int> stops;
    for (std::size_t w = 0; w < windows.size(); ++w) {
        const std::int32_t replicates = windows[w].replicateCount;
        ++stops[replicates];
        EXPECT_TRUE(replicates % 100 == 0 && (replicates / 100 & (replicates / 100 - 1)) == 0) << replicates;
        for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
            const double p = windows[w].pValues[s];
            EXPECT_TRUE(replicates == 6400 ? p == fixed[w].pValues[s] : p * replicates >= 20.0) << w << " " << s;
        }
    }
    EXPECT_GT(stops[6400], 0);
    EXPECT_GT(stops[100] + stops[200], 0);
    EXPECT_NE(adaptive.table.find("\tphilox4x32-10\t3\tadaptive\t6400\n"), std::string::npos);
}

// Family-wise p-values change nothing else of a run with the same seed, are
// the same for any number of threads, are never below the raw p, follow from
// the minima and depths of tdtfamilywise.tsv by their rule, and find the
// windows of a strong signal.
TEST(FamilyWise, AddsTheColumnsTheFileAndTheLinesAndFindsTheSignal) {
    const std::string input = sixLoci(200, true);
    const Outputs seeded = runWith(input, {"--seed", "4"});
    const Outputs one = runWith(input, {"--family-wise", "--seed", "4", "--threads", "1"});
    const Outputs three = runWith(input, {"--family-wise", "--seed", "4", "--threads", "3"});
    EXPECT_EQ(one.results, seeded.results);
    EXPECT_EQ(one.transmission, seeded.transmission);
    EXPECT_EQ(three.table, one.table);
    EXPECT_EQ(three.familyWise, one.familyWise);
    EXPECT_EQ(three.run.out, one.run.out);
    // The console says so first, and ends with the windows found; the rest is the seeded run's.
    std::string console = one.run.out;
    const std::string said = " Family-wise p-values from the first 200 of every window.";
    ASSERT_EQ(console.find(said), firstLine(console).size() - said.size() - 1);
    console.erase(console.find(said), said.size());
    const std::size_t found = console.find(
        "Family-wise p-values (single-step maxT over 21 windows and 200 replicates), windows at most 0.05:\nPunamb: ");
    ASSERT_NE(found, std::string::npos);
    console.erase(found, console.find("Stop - ") - found);
    EXPECT_EQ(console, seeded.run.out);

    const test::ScratchFolder folder;
    test::writeFile(folder / "f.tsv", one.familyWise);
    std::vector<window::WindowResult> rows;
    const output::FamilyWiseFile file = output::readFamilyWiseFile(
        (folder / "f.tsv").string(), [&](std::string_view, const window::WindowResult& w) { rows.push_back(w); });
    EXPECT_EQ(file.head.replicateCount, 200);
    EXPECT_EQ(file.head.trioChecksum, "unchecked");
    const std::vector<window::WindowResult> windows = windowsOf(one), plain = windowsOf(seeded);
    ASSERT_EQ(windows.size(), plain.size());
    ASSERT_EQ(rows.size(), windows.size());
    for (std::size_t w = 0; w < windows.size(); ++w) {
        EXPECT_EQ(windows[w].pValues, plain[w].pValues);
        ASSERT_TRUE(windows[w].familyWisePValues.has_value());
        EXPECT_EQ(rows[w].familyWisePValues, windows[w].familyWisePValues);
        for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
            double scores = 0;
            for (const statistics::FiveStatistics& deepest : file.minima.deepest) {
                const double difference = deepest[s] - rows[w].observedDepths[s];
                scores += difference > 1e-6 ? 1.0 : difference >= -1e-6 ? 0.5 : 0.0;
            }
            const double fwer = (*windows[w].familyWisePValues)[s];
            EXPECT_EQ(fwer, std::max(scores / 200, windows[w].pValues[s])) << w << " " << s;
            // The one-locus window of the signal is found by every statistic.
            if (windows[w].size == 1 && windows[w].start == 2) {
                EXPECT_LE(fwer, 0.05) << s;
            }
        }
    }
}

}  // namespace
}  // namespace triotdt
