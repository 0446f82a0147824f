// Missing genotypes (allele 0), checked by running the built program on two
// inputs and comparing whole report sections window by window: a window is
// analysed over the families genotyped at all its loci, exactly as if the
// input held only those, while every replicate still draws one value per
// family of the input.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt {
namespace {

const std::vector<std::int32_t> alleleCounts = {2, 3, 2, 2};

// Trios as allele numbers: per family, the father's, mother's and child's
// 2 × loci alleles.
using Family = std::array<std::vector<std::int32_t>, 3>;
constexpr int father = 0, mother = 1, child = 2;

// Deterministic consistent trios: each child takes one allele of each parent.
std::vector<Family> makeFamilies(int count) {
    std::uint64_t state = 12345;
    const auto next = [&state](std::int32_t n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::int32_t>((state >> 33) % static_cast<std::uint64_t>(n));
    };
    std::vector<Family> families(static_cast<std::size_t>(count));
    for (Family& family : families) {
        for (const std::int32_t n : alleleCounts) {
            const std::int32_t f[2] = {next(n) + 1, next(n) + 1}, m[2] = {next(n) + 1, next(n) + 1};
            family[father].insert(family[father].end(), {f[0], f[1]});
            family[mother].insert(family[mother].end(), {m[0], m[1]});
            family[child].insert(family[child].end(), {f[next(2)], m[next(2)]});
        }
    }
    return families;
}

std::string inputText(const std::vector<Family>& families, int replicates = 300) {
    std::string text = std::to_string(families.size()) + "\n" + std::to_string(replicates) + "\n" +
                       std::to_string(alleleCounts.size()) + "\n";
    for (const std::int32_t n : alleleCounts) text += std::to_string(n) + " ";
    text += "\n";
    for (const Family& family : families) {
        for (const auto& record : family) {
            for (const std::int32_t allele : record) text += std::to_string(allele) + " ";
            text += "\n";
        }
    }
    return text;
}

void setGenotype(Family& family, int person, int locus, std::int32_t a, std::int32_t b) {
    family[static_cast<std::size_t>(person)][2 * static_cast<std::size_t>(locus)] = a;
    family[static_cast<std::size_t>(person)][2 * static_cast<std::size_t>(locus) + 1] = b;
}

// The sections of one run, by window ("s-e" as the reports print it).
struct Reports {
    std::string console;
    std::map<std::string, std::string> block;      // tdttran.txt: heading and the four lines
    std::map<std::string, std::string> pValues;    // tdtout.txt: the p-value line
    std::map<std::string, std::string> statistics; // tdtout.txt: the statistic line
    std::vector<std::string> table;                // --table rows
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.ends_with('\r')) line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

Reports runOn(const std::string& input) {
    const test::ScratchFolder folder;
    folder.writeInput(input);
    const test::RunResult result = test::runProgram(folder.path(), {"--table", "t.tsv"});
    EXPECT_EQ(result.status, 0) << result.err;
    Reports run;
    run.console = result.out;
    std::string window;
    for (const std::string& line : linesOf(folder.read("tdttran.txt"))) {
        if (line.rfind("marker", 0) == 0) window = line.substr(6, 5);
        if (line.rfind("marker", 0) == 0 || line.rfind("transmit", 0) == 0 || line.rfind("untransmit", 0) == 0 ||
            line.rfind("homo", 0) == 0 || line.rfind("allele", 0) == 0) {
            run.block[window] += line + "\n";
        }
    }
    for (const std::string& line : linesOf(folder.read("tdtout.txt"))) {
        if (line.rfind(" marker", 0) == 0) {
            window = line.substr(7, 5);
            run.pValues[window] = line;
        }
        if (line.rfind("             statis", 0) == 0) run.statistics[window] = line;
    }
    run.table = linesOf(folder.read("t.tsv"));
    return run;
}

// The windows of the four loci ("s-e" as printed) that `keep(first, last)`
// (1-based) selects.
template <typename Keep>
std::vector<std::string> windowsWhere(Keep keep) {
    std::vector<std::string> windows;
    for (int size = 1; size <= 4; ++size) {
        for (int first = 1; first + size - 1 <= 4; ++first) {
            char key[16];
            std::snprintf(key, sizeof key, "%2d-%2d", first, first + size - 1);
            if (keep(first, first + size - 1)) windows.emplace_back(key);
        }
    }
    return windows;
}

std::vector<std::string> windowsHolding(int locus) {
    return windowsWhere([locus](int first, int last) { return first <= locus && locus <= last; });
}
std::vector<std::string> windowsWithout(int locus) {
    return windowsWhere([locus](int first, int last) { return locus < first || last < locus; });
}
const std::vector<std::string> allWindows = windowsWhere([](int, int) { return true; });

void expectSameWindows(const Reports& a, const Reports& b, const std::vector<std::string>& windows, bool withPValues) {
    ASSERT_FALSE(windows.empty());
    for (const std::string& w : windows) {
        ASSERT_TRUE(a.block.count(w) && b.block.count(w)) << w;
        EXPECT_EQ(a.block.at(w), b.block.at(w)) << "window " << w;
        EXPECT_EQ(a.statistics.at(w), b.statistics.at(w)) << "window " << w;
        if (withPValues) {
            EXPECT_EQ(a.pValues.at(w), b.pValues.at(w)) << "window " << w;
        }
    }
}

// The `families` column of the table row of window w.
std::string familiesColumn(const Reports& run, const std::string& w) {
    const auto fields = [](const std::string& line) {
        std::vector<std::string> out(1);
        for (const char c : line) {
            if (c == '\t') out.emplace_back();
            else out.back().push_back(c);
        }
        return out;
    };
    const std::vector<std::string> header = fields(run.table.at(0));
    const auto column = static_cast<std::size_t>(std::find(header.begin(), header.end(), "families") - header.begin());
    for (std::size_t r = 1; r < run.table.size(); ++r) {
        const std::vector<std::string> row = fields(run.table[r]);
        if (std::stoi(row.at(1)) == std::stoi(w.substr(0, 2)) && std::stoi(row.at(2)) == std::stoi(w.substr(3, 2))) {
            return row.at(column);
        }
    }
    return "(no row)";
}

const std::vector<Family> complete = makeFamilies(16);

// Missing genotypes at locus 4 only: whole, half-missing, and in each member.
std::vector<Family> missingAtLastLocus() {
    std::vector<Family> families = complete;
    setGenotype(families[2], father, 3, 0, 0);
    setGenotype(families[5], child, 3, 0, families[5][child][7]);
    setGenotype(families[9], mother, 3, families[9][mother][6], 0);
    return families;
}

TEST(MissingGenotypes, WindowsOfCompleteFamiliesAreAsWithoutTheMissingGenotypes) {
    const Reports whole = runOn(inputText(complete));
    const Reports missing = runOn(inputText(missingAtLastLocus()));
    expectSameWindows(whole, missing, windowsWithout(4), true);
    EXPECT_EQ(familiesColumn(missing, " 1- 3"), "16");
    EXPECT_EQ(linesOf(missing.console).at(0),
              "Missing genotypes: 3 (allele 0); a family takes part only in the windows where father, mother and "
              "child are genotyped at every locus.");
    EXPECT_EQ(linesOf(whole.console).at(0), "");  // the heading's empty line comes first
}

TEST(MissingGenotypes, AWindowIsAnalysedAsAnInputOfTheFamiliesGenotypedThroughout) {
    std::vector<Family> without;
    for (std::size_t f = 0; f < complete.size(); ++f) {
        if (f != 2 && f != 5 && f != 9) without.push_back(complete[f]);
    }
    const Reports missing = runOn(inputText(missingAtLastLocus()));
    const Reports fewer = runOn(inputText(without));
    expectSameWindows(missing, fewer, windowsHolding(4), false);
    EXPECT_EQ(familiesColumn(missing, " 3- 4"), "13");
    EXPECT_EQ(familiesColumn(missing, " 1- 3"), "16");
}

// A family left out draws and discards; a family in which every parent is
// homozygous at every locus draws and changes nothing. Punamb and Pe ignore
// such a family (Pe's weights do not depend on the families), so both inputs
// give the same p-values only if the families taking part use their own draws.
TEST(MissingGenotypes, FamiliesTakingPartUseTheDrawsOfTheirPlaceInTheInput) {
    std::vector<Family> missing = complete, homozygous = complete;
    for (int l = 0; l < 4; ++l) {
        setGenotype(missing[3], child, l, 0, 0);
        for (const int person : {father, mother, child}) setGenotype(homozygous[3], person, l, 1, 1);
    }
    setGenotype(missing[7], father, 2, 0, 0);
    setGenotype(homozygous[7], father, 2, 0, 0);
    const Reports a = runOn(inputText(missing));
    const Reports b = runOn(inputText(homozygous));
    for (const std::string& w : allWindows) {
        // Punamb and Pe: fields 1 and 3 of nine columns from column 21.
        for (const std::size_t column : {20u, 38u}) {
            EXPECT_EQ(a.pValues.at(w).substr(column, 9), b.pValues.at(w).substr(column, 9)) << w;
            EXPECT_EQ(a.statistics.at(w).substr(column, 9), b.statistics.at(w).substr(column, 9)) << w;
        }
        EXPECT_EQ(std::stoi(familiesColumn(a, w)) + 1, std::stoi(familiesColumn(b, w))) << w;
    }
}

TEST(MissingGenotypes, AFamilyMissingEverywhereIsAsIfLeftOut) {
    std::vector<Family> missing = complete;
    for (int l = 0; l < 4; ++l) {
        for (const int person : {father, mother, child}) setGenotype(missing[0], person, l, 0, 0);
    }
    const Reports a = runOn(inputText(missing));
    const Reports b = runOn(inputText(std::vector<Family>(complete.begin() + 1, complete.end())));
    expectSameWindows(a, b, allWindows, false);
}

TEST(MissingGenotypes, AWindowNoFamilyTakesPartInIsAsWithoutFamilies) {
    std::vector<Family> missing = complete;
    for (std::size_t f = 0; f < missing.size(); ++f) setGenotype(missing[f], static_cast<int>(f % 3), 1, 0, 0);
    const Reports a = runOn(inputText(missing));
    const Reports none = runOn(inputText({}));
    expectSameWindows(a, none, windowsHolding(2), true);
    EXPECT_EQ(a.pValues.at(" 2- 2").substr(20), "     .500     .500     .500     .500     .500");
    EXPECT_EQ(familiesColumn(a, " 2- 2"), "0");
    EXPECT_EQ(familiesColumn(a, " 3- 4"), "16");
}

}  // namespace
}  // namespace triotdt
