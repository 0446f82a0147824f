// Runs split into shards and merged: the merge must give the bytes of a
// whole run (both reports, the console, the table and the figure), and must
// refuse shards that do not make up one run, writing nothing.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "input/child_sexes.h"
#include "support/input_text.h"
#include "support/program_run.h"
#include "support/random_trios.h"
#include "support/test_support.h"

namespace triotdt {
namespace {

namespace fs = std::filesystem;
using test::ScratchFolder;

const fs::path cases = TRIOTDT_E2E_CASES;

using test::inputText;

// Gives `person` of family f the genotype a/b at locus l (all 1-based).
void setGenotype(haplotype::FamilyData& data, haplotype::Person person, int f, int l, int a, int b) {
    haplotype::AlleleTable& table = person == haplotype::Person::father   ? data.fatherAlleles
                                    : person == haplotype::Person::mother ? data.motherAlleles
                                                                          : data.childAlleles;
    std::vector<std::int32_t> values = table.values();
    const std::size_t at = 2 * (static_cast<std::size_t>(f - 1) * static_cast<std::size_t>(data.lociCount) +
                                static_cast<std::size_t>(l - 1));
    values[at] = a;
    values[at + 1] = b;
    table = haplotype::AlleleTable(*std::max_element(data.alleleCount.begin(), data.alleleCount.end()));
    table.append(values);
}

std::string shardFolder(int k, int n) { return "shard-" + std::to_string(k) + "-of-" + std::to_string(n); }

const std::vector<std::string> outputs = {"tdttran.txt", "tdtout.txt", "results.tsv", "results.svg",
                                          "tdtfamilywise.tsv"};
const std::vector<std::string> extras = {"--table", "results.tsv", "--plot", "results.svg"};

// Runs shards N down to 1 in `folder` (which holds the input), with
// `options`, checking that none writes a report of its own.
void runShards(const ScratchFolder& folder, int n, const std::vector<std::string>& options = {}) {
    for (int k = n; k >= 1; --k) {
        std::vector<std::string> args{"--shard", std::to_string(k) + "/" + std::to_string(n)};
        args.insert(args.end(), options.begin(), options.end());
        const test::RunResult shard = test::runProgram(folder.path(), args);
        ASSERT_EQ(shard.status, 0) << shard.err;
        ASSERT_TRUE(fs::exists(folder / shardFolder(k, n) / "manifest.tsv"));
    }
    EXPECT_FALSE(folder.has("tdttran.txt") || folder.has("tdtout.txt"));
}

test::RunResult merge(const ScratchFolder& folder, const std::vector<std::string>& shards) {
    std::vector<std::string> args{"merge"};
    args.insert(args.end(), extras.begin(), extras.end());
    args.insert(args.end(), shards.begin(), shards.end());
    return test::runProgram(folder.path(), args);
}

// Writes `input` as tdtinput.dat, with `loci` as tdtloci.tsv and `sexes` as
// tdtsex.tsv when given.
void writeRunFolder(const ScratchFolder& folder, const std::string& input, const std::string& loci,
                    const std::string& sexes) {
    folder.writeInput(input);
    if (!loci.empty()) test::writeFile(folder / "tdtloci.tsv", loci);
    if (!sexes.empty()) test::writeFile(folder / "tdtsex.tsv", sexes);
}

// The whole run of `input` (with `loci` as tdtloci.tsv and `sexes` as
// tdtsex.tsv when given), then splits into each shard count, merged,
// compared byte for byte; whole run and shards with `options`.
void expectShardsMergeToWholeRun(const std::string& input, const std::string& loci = "",
                                 const std::vector<std::string>& options = {}, const std::string& sexes = "") {
    ScratchFolder whole;
    writeRunFolder(whole, input, loci, sexes);
    std::vector<std::string> args = extras;
    args.insert(args.end(), options.begin(), options.end());
    const test::RunResult run = test::runProgram(whole.path(), args);
    ASSERT_EQ(run.status, 0) << run.err;

    for (const int n : {1, 2, 3, 7}) {
        ScratchFolder split;
        writeRunFolder(split, input, loci, sexes);
        runShards(split, n, options);
        std::vector<std::string> shards;
        for (int k = n; k >= 1; --k) shards.push_back(shardFolder(k, n));  // in any order
        const test::RunResult merged = merge(split, shards);
        ASSERT_EQ(merged.status, 0) << merged.err;
        EXPECT_EQ(merged.err, "");
        EXPECT_EQ(merged.out, run.out) << n << " shards";
        for (const std::string& name : outputs) {
            ASSERT_EQ(split.has(name), whole.has(name)) << name;
            if (whole.has(name)) {
                EXPECT_TRUE(split.read(name) == whole.read(name)) << name << " differs with " << n << " shards";
            }
        }
    }
}

TEST(ShardsMerged, ConformanceInputs) {
    for (const char* name : {"input-example", "seven-loci-ambiguous"}) {
        SCOPED_TRACE(name);
        expectShardsMergeToWholeRun(test::readFile(cases / name / "tdtinput.dat"));
    }
}

// 25 loci: seven shards cut windows of every size, and the marker names of
// tdtloci.tsv reach the table and the figure.
TEST(ShardsMerged, ShardsCuttingWindowsOfEverySize) {
    haplotype::FamilyData data = test::randomTrios(11, 14, std::vector<std::int32_t>(25, 3));
    data.replicateCount = 40;
    std::string loci = "locus\tchromosome\tposition\tmarker\talleles\n";
    for (int l = 1; l <= 25; ++l) {
        loci += std::to_string(l) + "\t5\t" + std::to_string(1000 * l) + "\trs" + std::to_string(l) + "\tA,C,G\n";
    }
    expectShardsMergeToWholeRun(inputText(data), loci);
}

// Shards carry the window sizes and the resampling options: adaptive
// replicates of the counter-based stream, on windows of 1 and 3 loci only.
TEST(ShardsMerged, WithWindowSizesAndAdaptiveReplicates) {
    haplotype::FamilyData data = test::randomTrios(11, 30, std::vector<std::int32_t>(12, 2));
    data.replicateCount = 20;
    expectShardsMergeToWholeRun(inputText(data), "", {"--window-sizes", "1,3", "--seed", "9", "--adaptive", "640"});

    // The plan counts the windows of those sizes and the first batch of
    // replicates: 6 windows of 1 locus a shard, (30 + 1) × 10 each.
    ScratchFolder folder;
    folder.writeInput(inputText(data));
    const auto plan = [&folder](const std::vector<std::string>& options) {
        std::vector<std::string> args{"--shard-plan", "2"};
        args.insert(args.end(), options.begin(), options.end());
        const test::RunResult run = test::runProgram(folder.path(), args);
        EXPECT_EQ(run.status, 0) << run.err;
        return run.out;
    };
    EXPECT_EQ(plan({"--adaptive", "100000"}), plan({}));
    EXPECT_EQ(plan({"--window-sizes", "1", "--adaptive", "10"}),
              "shard\tfirst_locus\tlast_locus\twindows\twork\tmem_mb\n1\t1\t6\t6\t1860\t65\n2\t7\t12\t6\t1860\t65\n");
}

// Each shard folds its windows into minima of its own; the merge takes the
// deepest of each and gives the whole run's family-wise p-values, file and
// console, here with adaptive replicates beyond the first batch.
TEST(ShardsMerged, WithFamilyWisePValues) {
    haplotype::FamilyData data = test::randomTrios(12, 30, std::vector<std::int32_t>(14, 2));
    data.replicateCount = 40;
    expectShardsMergeToWholeRun(inputText(data), "", {"--family-wise", "--seed", "3", "--adaptive", "160"});
}

// On X (with the run's stream, and with adaptive replicates of the
// counter-based one) the shards find the families taking part by mother and
// child, and record tdtsex.tsv: shards of another one are not merged.
TEST(ShardsMerged, XLinkedRun) {
    haplotype::FamilyData data = test::randomXTrios(7, 16, std::vector<std::int32_t>(20, 2));
    data.replicateCount = 30;
    const std::string sexes = input::formatChildSexes(data.childSex);
    expectShardsMergeToWholeRun(inputText(data), "", {}, sexes);
    expectShardsMergeToWholeRun(inputText(data), "", {"--seed", "5", "--adaptive", "120"}, sexes);

    ScratchFolder folder;
    writeRunFolder(folder, inputText(data), "", sexes);
    runShards(folder, 2);
    fs::remove_all(folder / shardFolder(1, 2));
    // The same sexes with CR LF line ends: another file all the same.
    std::string crlf;
    for (const char c : sexes) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    test::writeFile(folder / "tdtsex.tsv", crlf);
    ASSERT_EQ(test::runProgram(folder.path(), {"--shard", "1/2"}).status, 0);
    const test::RunResult merged = merge(folder, {shardFolder(1, 2), shardFolder(2, 2)});
    EXPECT_EQ(merged.status, 1);
    EXPECT_NE(merged.err.find("belongs to another input (tdtinput.dat of "), std::string::npos) << merged.err;
    EXPECT_NE(merged.err.find(", tdtsex.tsv of "), std::string::npos) << merged.err;
}

// Loci 1 and 2 have 46341 alleles each: every window holding both has too
// many haplotypes to number and is skipped, but its draws are used up.
TEST(ShardsMerged, WindowsSkippedForTooManyHaplotypes) {
    haplotype::FamilyData data = test::randomTrios(5, 6, {46341, 46341, 1, 1, 1, 1, 1, 1, 2, 3, 2, 2, 2, 2});
    data.replicateCount = 30;
    expectShardsMergeToWholeRun(inputText(data));
}

// Families missing genotypes leave the windows holding those loci: the merge
// still gives a whole run, and the shards share the work of the families
// taking part, so that a first half of loci where most families are missing
// holds more loci than the second.
TEST(ShardsMerged, InputWithMissingGenotypes) {
    haplotype::FamilyData data = test::randomTrios(13, 12, std::vector<std::int32_t>(25, 3));
    data.replicateCount = 30;
    const std::string complete = inputText(data);
    for (int f = 1; f <= 10; ++f) {
        for (int l = 1; l <= 12; ++l)
            setGenotype(data, f % 2 ? haplotype::Person::mother : haplotype::Person::child, f, l, 0, 0);
    }
    expectShardsMergeToWholeRun(inputText(data));

    // The last locus of shard 1 of 2, from the plan's second line.
    const auto firstShardEnd = [](const std::string& input) {
        ScratchFolder folder;
        folder.writeInput(input);
        const test::RunResult plan = test::runProgram(folder.path(), {"--shard-plan", "2"});
        EXPECT_EQ(plan.status, 0) << plan.err;
        std::istringstream lines(plan.out.substr(plan.out.find('\n') + 1));
        int shard = 0, first = 0, last = 0;
        lines >> shard >> first >> last;
        return last;
    };
    EXPECT_EQ(firstShardEnd(complete), 11);
    EXPECT_EQ(firstShardEnd(inputText(data)), 16);
}

// More shards than loci: the plan leaves the loci of an empty shard empty,
// keeping six cells a row, and says how many shards are empty.
TEST(ShardPlan, EmptyShardsHaveNoLociAndAreCounted) {
    ScratchFolder folder;
    folder.writeInput(inputText(test::randomTrios(3, 4, {2, 2, 2})));
    const test::RunResult plan = test::runProgram(folder.path(), {"--shard-plan", "5"});
    std::istringstream rows(plan.out.substr(plan.out.find('\n') + 1));
    int empty = 0;
    for (std::string row; std::getline(rows, row);) {
        std::istringstream cells(row);
        std::string shard, first, last, windows;
        std::getline(std::getline(std::getline(std::getline(cells, shard, '\t'), first, '\t'), last, '\t'), windows,
                     '\t');
        empty += windows == "0";
        EXPECT_EQ(std::count(row.begin(), row.end(), '\t'), 5) << row;
        EXPECT_TRUE(windows == "0" ? first.empty() && last.empty() : std::stoi(first) <= std::stoi(last)) << row;
    }
    EXPECT_EQ(empty, 2);
    EXPECT_EQ(plan.err,
              "triotdt: 2 of 5 shards are empty, with no first or last locus (the input has 3 loci); they analyse "
              "nothing, but the merge needs them all\n");
}

// Input a whole run refuses at loci far from a shard's own is refused by the
// shard too, with the whole run's message, and no manifest is left.
TEST(ShardOfBadInput, RefusesWhatAWholeRunRefuses) {
    using haplotype::Person;
    struct Fault {
        const char* what;
        Person person;
        int family, locus, a, b;
    };
    for (const Fault& fault : {Fault{"a Mendelian error", Person::child, 9, 25, 3, 3},
                               Fault{"an allele out of range", Person::father, 4, 22, 1, 4}}) {
        SCOPED_TRACE(fault.what);
        haplotype::FamilyData data = test::randomTrios(17, 12, std::vector<std::int32_t>(25, 3));
        setGenotype(data, Person::father, 9, 25, 1, 1);
        setGenotype(data, Person::mother, 9, 25, 1, 2);
        setGenotype(data, fault.person, fault.family, fault.locus, fault.a, fault.b);
        ScratchFolder folder;
        folder.writeInput(inputText(data));
        const test::RunResult whole = test::runProgram(folder.path());
        ASSERT_EQ(whole.status, 1);
        ASSERT_NE(whole.err.find("locus " + std::to_string(fault.locus)), std::string::npos) << whole.err;
        for (const char* shard : {"1/7", "1/2"}) {
            const test::RunResult run = test::runProgram(folder.path(), {"--shard", shard});
            EXPECT_EQ(run.status, 1) << shard;
            EXPECT_EQ(run.err, whole.err) << shard;
            EXPECT_EQ(run.out, "");
        }
        EXPECT_FALSE(folder.has(shardFolder(1, 7)) || folder.has(shardFolder(1, 2)));
    }
}

class MergeRefuses : public testing::Test {
protected:
    void SetUp() override {
        haplotype::FamilyData data = test::randomTrios(3, 8, std::vector<std::int32_t>(9, 2));
        data.replicateCount = 20;
        folder.writeInput(inputText(data));
        runShards(folder, 3);
    }
    // The merge of `shards` fails with a message holding `why`, and writes nothing.
    void expectRefused(const std::vector<std::string>& shards, const std::string& why) {
        const test::RunResult merged = merge(folder, shards);
        EXPECT_EQ(merged.status, 1);
        EXPECT_NE(merged.err.find(why), std::string::npos) << merged.err;
        EXPECT_EQ(merged.out, "");
        for (const std::string& name : outputs) EXPECT_FALSE(folder.has(name)) << name;
    }
    ScratchFolder folder;
};

TEST_F(MergeRefuses, AMissingShard) {
    expectRefused({"shard-1-of-3", "shard-3-of-3"}, "shard(s) 2 of 3 missing");
    fs::remove(folder / "shard-2-of-3" / "manifest.tsv");
    expectRefused({"shard-1-of-3", "shard-2-of-3", "shard-3-of-3"}, "shard folder 'shard-2-of-3' has no manifest.tsv");
}

TEST_F(MergeRefuses, ARepeatedShard) {
    fs::copy(folder / "shard-2-of-3", folder / "again");
    expectRefused({"shard-1-of-3", "shard-2-of-3", "again", "shard-3-of-3"},
                  "shard 2 of 3 is given twice: 'shard-2-of-3' and 'again'");
}

TEST_F(MergeRefuses, AShardOfAnotherInput) {
    ScratchFolder other;
    haplotype::FamilyData data = test::randomTrios(4, 8, std::vector<std::int32_t>(9, 2));
    data.replicateCount = 20;
    other.writeInput(inputText(data));
    ASSERT_EQ(test::runProgram(other.path(), {"--shard", "2/3", "--shard-dir", "foreign"}).status, 0);
    fs::copy(other / "foreign", folder / "foreign");
    expectRefused({"shard-1-of-3", "foreign", "shard-3-of-3"}, "shard 2 of 3 ('foreign') belongs to another input");
}

TEST_F(MergeRefuses, AShardRunWithOtherOptions) {
    ASSERT_EQ(test::runProgram(folder.path(), {"--shard", "2/3", "--shard-dir", "seeded", "--seed", "4"}).status, 0);
    expectRefused({"shard-1-of-3", "seeded", "shard-3-of-3"},
                  "shard 2 of 3 ('seeded') was run with --seed 4, shard 1 of 3 ('shard-1-of-3') without "
                  "--window-sizes, --seed, --adaptive or --family-wise");
    ASSERT_EQ(
        test::runProgram(folder.path(), {"--shard", "3/3", "--shard-dir", "fw", "--seed", "4", "--family-wise"}).status,
        0);
    expectRefused({"shard-1-of-3", "shard-2-of-3", "fw"},
                  "shard 3 of 3 ('fw') was run with --seed 4 --family-wise, shard "
                  "1 of 3 ('shard-1-of-3') without");
}

TEST_F(MergeRefuses, ATruncatedPart) {
    const fs::path part = folder / "shard-2-of-3" / "size2.tdttran.txt";
    fs::resize_file(part, fs::file_size(part) - 1);
    expectRefused({"shard-1-of-3", "shard-2-of-3", "shard-3-of-3"},
                  "shard 2 of 3 ('shard-2-of-3'): part size2.tdttran.txt has");
}

// A merge stopped by a signal ends as a whole run does: both reports hold the
// windows merged and end with a line saying where it stopped, standard error
// says so too, and the table and the figure are removed. The signal comes
// while the console of shard 1's windows of one locus is written.
TEST(MergeSignals, AnInterruptedMergeMarksTheReportsAndSaysWhereItStopped) {
    haplotype::FamilyData data = test::randomTrios(17, 4, std::vector<std::int32_t>(120, 2));
    data.replicateCount = 2;
    ScratchFolder whole, split;
    whole.writeInput(inputText(data));
    split.writeInput(inputText(data));
    ASSERT_EQ(test::runProgram(whole.path()).status, 0);
    runShards(split, 2);
    test::RunConditions signalled;
    signalled.signalAtFirstOutput = SIGTERM;
    const test::RunResult run = test::runProgram(
        split.path(), {"merge", "shard-2-of-2", "shard-1-of-2", "--table", "results.tsv", "--plot", "results.svg"},
        signalled);

    EXPECT_EQ(run.status, 128 + SIGTERM);
    const std::string results = split.read("tdtout.txt");
    const std::size_t mark = results.rfind("*INTERRUPTED* by SIGTERM after window ");
    ASSERT_NE(mark, std::string::npos) << results;
    const std::string where = results.substr(mark + 14, results.find(':', mark) - mark - 14);
    EXPECT_EQ(run.err, "triotdt: interrupted " + where + "; the reports are incomplete\n");
    EXPECT_NE(where.find(" of 819 windows)"), std::string::npos) << where;
    for (const char* report : {"tdttran.txt", "tdtout.txt"}) {
        const std::string text = split.read(report);
        EXPECT_TRUE(text.ends_with(results.substr(mark))) << report;
        EXPECT_TRUE(whole.read(report).starts_with(text.substr(0, text.size() - (results.size() - mark)))) << report;
    }
    EXPECT_EQ(test::filesIn(split.path()),
              (std::vector<std::string>{"shard-1-of-2", "shard-2-of-2", "tdtinput.dat", "tdtout.txt", "tdttran.txt"}));
}

}  // namespace
}  // namespace triotdt
