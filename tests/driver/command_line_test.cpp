#include "driver/command_line.h"

#include <gtest/gtest.h>
#include <sstream>
#include <vector>

namespace triotdt::driver {
namespace {

struct Outcome {
    ParsedCommandLine parsed;
    std::string out;
    std::string err;
};

Outcome parse(std::vector<const char*> args) {
    args.insert(args.begin(), "triotdt");
    std::ostringstream out, err;
    Outcome outcome{parseCommandLine(static_cast<int>(args.size()), args.data(), out, err), {}, {}};
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

TEST(CommandLine, NoArgumentsMeansThePlainAnalysis) {
    const Outcome o = parse({});
    ASSERT_TRUE(o.parsed.line);
    EXPECT_EQ(o.parsed.line->command, Command::analyse);
    EXPECT_EQ(o.parsed.line->analysis.threads, 0u);
    EXPECT_TRUE(o.parsed.line->folder.empty() && o.parsed.line->analysis.tablePath.empty() &&
                o.parsed.line->analysis.plotPath.empty());
    EXPECT_EQ(o.out + o.err, "");
}

TEST(CommandLine, TakesEveryOption) {
    const Outcome o = parse(
        {"-C", "runs/a", "--threads", "3", "--table=out.tsv", "--plot", "fig.SVG", "--seed", "18446744073709551615"});
    ASSERT_TRUE(o.parsed.line) << o.err;
    EXPECT_EQ(o.parsed.line->analysis.seed, 18446744073709551615ULL);
    EXPECT_EQ(parse({"--window-sizes", "1,3"}).parsed.line->analysis.windowSizes.text(), "1,3");
    EXPECT_EQ(o.parsed.line->folder, "runs/a");
    EXPECT_EQ(o.parsed.line->analysis.threads, 3u);
    EXPECT_EQ(o.parsed.line->analysis.tablePath, "out.tsv");
    EXPECT_EQ(o.parsed.line->analysis.plotPath, "fig.SVG");
    EXPECT_EQ(parse({"--directory", "x"}).parsed.line->folder, "x");
    const Outcome statistic = parse({"--plot-statistic", "punamb", "--plot", "f.svg"});
    ASSERT_TRUE(statistic.parsed.line) << statistic.err;
    EXPECT_EQ(statistic.parsed.line->analysis.plotStatistic, statistics::Statistic::punamb);
    const Outcome merged = parse({"--plot-statistic", "Pc", "merge", "s1", "--plot", "f.svg"});
    ASSERT_TRUE(merged.parsed.line) << merged.err;
    EXPECT_EQ(merged.parsed.line->merge.plotStatistic, statistics::Statistic::pc);
    const Outcome everyCore = parse({"--threads", "0"});
    ASSERT_TRUE(everyCore.parsed.line) << everyCore.err;
    EXPECT_EQ(everyCore.parsed.line->analysis.threads, 0u);
}

TEST(CommandLine, HelpAndVersionEndWellOnStandardOutput) {
    const Outcome help = parse({"--help"});
    EXPECT_FALSE(help.parsed.line);
    EXPECT_EQ(help.parsed.exitStatus, 0);
    for (const char* part : {"--threads N", "--table FILE", "--plot FILE.svg", "-C,--directory DIR", "Punamb", "Pg ",
                             "Pe ", "Pc ", "Pem ", "tdtinput.dat", "tdttran.txt", "EXIT STATUS"}) {
        EXPECT_NE(help.out.find(part), std::string::npos) << part;
    }
    const Outcome version = parse({"--version"});
    EXPECT_EQ(version.parsed.exitStatus, 0);
    // The commit is checked against git by tests/packaging/version_test.sh.
    EXPECT_TRUE(version.out.starts_with("triotdt " TRIOTDT_VERSION " (commit ")) << version.out;
    EXPECT_EQ(help.err + version.err, "");
}

// Each bad command line is a usage error: status 2 and a message that names
// what is wrong, on standard error only.
TEST(CommandLine, RefusesUnknownOptionsAndBadValues) {
    const struct {
        std::vector<const char*> args;
        const char* said;
    } cases[] = {
        {{"--bogus"}, "--bogus"},
        {{"extra"}, "extra"},
        {{"--threads", "1025"}, "'1025' is not a number of threads from 0 (every core) to 1024"},
        {{"--threads", "0", "import", "--ped", "x.ped", "--map", "x.map"}, "they belong to the analysis"},
        {{"--threads", "-2"}, "--threads"},
        {{"--threads", "2.5"}, "'2.5' is not a number of threads"},
        {{"--threads"}, "--threads"},
        {{"--threads", "2", "--threads", "3"}, "--threads"},
        {{"--plot", "figure.png"}, "FILE must end in .svg"},
        {{"--plot", ".svg"}, "FILE must end in .svg"},
        {{"--table", "same.svg", "--plot", "same.svg"}, "they name the same file"},
        {{"-C"}, "DIR missing"},
        {{"--plot", "p.svg", "--plot-statistic", "Pq"}, "'Pq' is none of the statistics Punamb, Pg, Pe, Pc and Pem"},
        {{"--plot-statistic", "Pg"}, "--plot-statistic: it chooses the statistic of the figure: it needs --plot"},
        {{"merge", "s1", "--plot-statistic", "Pg"}, "it needs --plot"},
        {{"--seed", "-1"}, "'-1' is not a seed, a whole number from 0 to 18446744073709551615"},
        {{"--seed", "18446744073709551616"}, "is not a seed"},
        {{"--seed", "7", "merge", "shard-1-of-1"}, "they belong to the analysis, not to merge"},
        {{"--adaptive", "0"}, "--adaptive"},
        {{"--adaptive", "2147483648"}, "--adaptive"},
        {{"--window-sizes", "0-3"}, "'0-3' is not a list of window sizes from 1 to 7 (such as 1, 1-3 or 1,3,5)"},
        {{"--window-sizes", "1", "import", "--ped", "x.ped", "--map", "x.map"}, "they belong to the analysis"},
    };
    for (const auto& c : cases) {
        const Outcome o = parse(c.args);
        EXPECT_FALSE(o.parsed.line) << c.said;
        EXPECT_EQ(o.parsed.exitStatus, 2) << c.said;
        EXPECT_NE(o.err.find(c.said), std::string::npos) << o.err;
        EXPECT_EQ(o.err.rfind("triotdt: ", 0), 0u) << o.err;
        EXPECT_EQ(o.out, "");
    }
}

}  // namespace
}  // namespace triotdt::driver
