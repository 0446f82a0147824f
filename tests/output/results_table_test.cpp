#include "output/results_table.h"

#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <tuple>

#include "io/run_error.h"
#include "support/test_support.h"

namespace triotdt::output {
namespace {

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (const char c : line) {
        if (c == '\t') out.emplace_back();
        else out.back() += c;
    }
    return out;
}

// The header's names, without the line end.
std::vector<std::string> headerOf(const resampling::ResamplingRule& rule) {
    std::string out;
    appendTableHeader(out, rule);
    return fields(out.substr(0, out.size() - 1));
}

window::WindowResult analysedWindow() {
    window::WindowResult w;
    w.start = 2;
    w.size = 2;
    w.haplotypeCount = 6;
    w.families = 19;
    w.familiesOfKnownPhase = 17;
    w.distinctHaplotypes = 5;
    w.replicateCount = 1000;
    w.statistics = {0.1, 1.0 / 3, 12.5, 0, 7};
    w.pValues = {0.0005, 0.25, 1, 0, 0.123};
    return w;
}

TEST(ResultsTable, RealsReadBackAsTheSameDouble) {
    for (const double value :
         {0.1, 1.0 / 3, 2.0 / 3 * 1e-300, 4.9e-324, 123456789.125, -0.5, 0.0, std::nextafter(1.0, 2.0)}) {
        EXPECT_EQ(std::strtod(tableReal(value).c_str(), nullptr), value) << tableReal(value);
    }
    EXPECT_EQ(tableReal(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(tableReal(-std::numeric_limits<double>::infinity()), "-Inf");
}

TEST(ResultsTable, RowsHaveTheHeadersColumnsWithMarkersWhenKnown) {
    const std::vector<std::string> header = headerOf({});
    ASSERT_EQ(header.size(), 24u);
    EXPECT_EQ(header[8], "families");
    EXPECT_EQ(header[9], "families_known_phase");
    EXPECT_EQ(header[12], "stat_Punamb");
    EXPECT_EQ(header[21], "p_Pem");
    EXPECT_EQ(header.back(), "skipped_reason");

    const std::vector<LocusRow> loci = {
        {1, "7", 100, "m1", {"A", "G"}}, {2, "7", 250, "rs\"2", {"A", "C"}}, {3, "7", 400, "m3", {"A", "C", "T"}}};
    std::string out;
    appendTableRow(out, analysedWindow(), loci, {});
    appendTableRow(out, analysedWindow(), {}, {});
    const auto newline = out.find('\n');
    ASSERT_EQ(out.back(), '\n');
    const std::vector<std::string> named = fields(out.substr(0, newline));
    const std::vector<std::string> plain = fields(out.substr(newline + 1, out.size() - newline - 2));
    ASSERT_EQ(named.size(), header.size());
    ASSERT_EQ(plain.size(), header.size());
    EXPECT_EQ(std::vector<std::string>(named.begin(), named.begin() + 12),
              (std::vector<std::string>{"2", "2", "3", "7", "rs'2", "250", "m3", "400", "19", "17", "5", "6"}));
    EXPECT_EQ(std::vector<std::string>(plain.begin() + 3, plain.begin() + 8), std::vector<std::string>(5, ""));
    EXPECT_EQ(named[13], "0.33333333333333331");
    EXPECT_EQ(named[17], "0.00050000000000000001");
    EXPECT_EQ(named[20], "0");
    EXPECT_EQ(named[22], "1000");
    EXPECT_EQ(named[23], "");
}

TEST(ResultsTable, SkippedWindowHasEmptyValuesAndAReason) {
    window::WindowResult w = analysedWindow();
    w.skipped = true;
    w.haplotypeCount = std::numeric_limits<std::int64_t>::max();
    std::string out;
    appendTableRow(out, w, {}, {});
    const std::vector<std::string> row = fields(out.substr(0, out.size() - 1));
    ASSERT_EQ(row.size(), 24u);
    for (std::size_t column = 3; column < 23; ++column) EXPECT_EQ(row[column], "") << "column " << column;
    EXPECT_EQ(row[23], "more haplotypes than 32-bit codes can number");
}

// A run with the counter-based stream says so on every row, after the
// columns every table has.
TEST(ResultsTable, TheCounterBasedStreamAddsItsColumnsAtTheEnd) {
    const resampling::ResamplingRule seeded{18446744073709551615ULL};
    const std::vector<std::string> header = headerOf(seeded);
    const std::vector<std::string> plain = headerOf({});
    ASSERT_EQ(header.size(), plain.size() + 4);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), header.begin()));
    std::string out;
    appendTableRow(out, analysedWindow(), {}, seeded);
    const std::vector<std::string> row = fields(out.substr(0, out.size() - 1));
    ASSERT_EQ(row.size(), header.size());
    EXPECT_EQ(std::vector<std::string>(header.end() - 4, header.end()),
              (std::vector<std::string>{"stream", "seed", "replicate_rule", "max_replicates"}));
    EXPECT_EQ(std::vector<std::string>(row.end() - 4, row.end()),
              (std::vector<std::string>{"philox4x32-10", "18446744073709551615", "fixed", "1000"}));
}

// What the merge reads back for the figure is what was written, to the bit,
// with or without the header row, with or without the columns of the
// counter-based stream.
TEST(ResultsTable, RowsReadBackAsTheWindowsWritten) {
    window::WindowResult skipped = analysedWindow();
    skipped.skipped = true;
    skipped.haplotypeCount = std::numeric_limits<std::int64_t>::max();
    const test::ScratchFolder folder;
    std::string rows;
    appendTableHeader(rows, {});
    appendTableRow(rows, analysedWindow(), {}, {});
    appendTableRow(rows, skipped, {}, resampling::ResamplingRule{7});
    const auto readBack = [&](const std::string& text) {
        test::writeFile(folder / "t.tsv", text);
        std::vector<window::WindowResult> windows;
        readTableFile((folder / "t.tsv").string(), [&](const window::WindowResult& w) { windows.push_back(w); });
        return windows;
    };
    EXPECT_EQ(readBack(rows.substr(rows.find('\n') + 1)).size(), 2u);
    const std::vector<window::WindowResult> back = readBack(rows);
    ASSERT_EQ(back.size(), 2u);
    const window::WindowResult& w = back[0];
    EXPECT_EQ(std::tie(w.start, w.size, w.haplotypeCount, w.skipped, w.families, w.familiesOfKnownPhase,
                       w.distinctHaplotypes, w.replicateCount, w.statistics, w.pValues),
              std::make_tuple(2, 2, std::int64_t{6}, false, 19, 17, 5, 1000, analysedWindow().statistics,
                              analysedWindow().pValues));
    EXPECT_TRUE(back[1].skipped);
    EXPECT_EQ(back[1].haplotypeCount, skipped.haplotypeCount);
    EXPECT_THROW(readBack("1\t2\n"), io::InputRefused);
}

}  // namespace
}  // namespace triotdt::output
