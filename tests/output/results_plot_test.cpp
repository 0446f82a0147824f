#include "output/results_plot.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

namespace triotdt::output {
namespace {

std::size_t countOf(const std::string& text, const std::string& needle) {
    std::size_t count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
    return count;
}

// Every window of 1 to `maxSize` loci over `lociCount` loci, with p-values
// that step down along the loci.
std::vector<window::WindowResult> windowsOver(std::int32_t lociCount, std::int32_t maxSize) {
    std::vector<window::WindowResult> windows;
    for (std::int32_t size = 1; size <= maxSize; ++size) {
        for (std::int32_t start = 1; start + size - 1 <= lociCount; ++start) {
            window::WindowResult w;
            w.start = start;
            w.size = size;
            w.replicateCount = 999;
            for (std::size_t s = 0; s < 5; ++s) w.pValues[s] = 1.0 / (start + static_cast<double>(s));
            windows.push_back(w);
        }
    }
    return windows;
}

// The figure of `windows`, added in order, over the loci they cover.
std::string drawResultsPlot(const std::vector<window::WindowResult>& windows, const std::vector<LocusRow>& loci,
                            statistics::Statistic statistic = defaultPlotStatistic) {
    std::int32_t lociCount = 0;
    for (const window::WindowResult& w : windows) lociCount = std::max(lociCount, w.lastLocus());
    ResultsFigure figure(runFigureScope(loci, lociCount, statistic));
    for (const window::WindowResult& w : windows) figure.add(w, runWindowPlace(w, loci, figure.scope()));
    return figure.draw();
}

// The places (x, y) of the marks of class `mark` ("point" or "zero") in the
// panels of the windows, below the legend and before the QQ panel; a
// triangle's place lies 4 below its tip.
std::vector<std::pair<double, double>> marksOf(const std::string& svg, const std::string& mark) {
    std::vector<std::pair<double, double>> places;
    const std::string element = "<path class=\"" + mark + "\"";
    const std::size_t end = svg.find("QQ plot of");
    for (std::size_t at = svg.find(element, svg.find("windows of ")); at < end; at = svg.find(element, at + 1)) {
        const std::size_t d = svg.find(" d=\"", at) + 4;
        const std::string path = svg.substr(d, svg.find('"', d) - d);
        for (std::size_t m = path.find('M'); m != std::string::npos; m = path.find('M', m + 1)) {
            char* end = nullptr;
            const double x = std::strtod(path.c_str() + m + 1, &end);
            const double y = std::strtod(end, nullptr);
            places.emplace_back(x, mark == "zero" ? y + 4 : y);
        }
    }
    return places;
}

// Without xmllint, the other checks of the figure still run.
bool wellFormedXml([[maybe_unused]] const std::string& svg) {
#ifndef XMLLINT
    return true;
#else
    char path[] = "/tmp/triotdt-plot-XXXXXX";
    const int fd = ::mkstemp(path);
    if (fd < 0) return false;
    ::close(fd);
    std::ofstream(path) << svg;
    const int status = std::system((std::string(XMLLINT " --noout --nonet ") + path).c_str());
    std::remove(path);
    return status == 0;
#endif
}

// One mark per analysed window, of the statistic chosen: its p-values step
// down along the loci, so the marks rise from left to right.
TEST(ResultsPlot, DrawsOneMarkOfTheChosenStatisticPerAnalysedWindow) {
    std::vector<window::WindowResult> windows = windowsOver(4, 2);  // 4 + 3 windows
    windows[1].pValues[1] = 0;                                      // drawn as a triangle
    windows[2].pValues[2] = 0;                                      // another statistic's
    windows[5].skipped = true;                                      // left out
    EXPECT_EQ(statisticNamed("pG"), statistics::Statistic::pg);
    const std::string svg = drawResultsPlot(windows, {}, statistics::Statistic::pg);
    EXPECT_TRUE(wellFormedXml(svg));
    const auto points = marksOf(svg, "point");
    ASSERT_EQ(points.size(), 6u - 1);
    EXPECT_EQ(marksOf(svg, "zero").size(), 1u);
    EXPECT_LT(points[0].first, points[1].first);
    EXPECT_GT(points[0].second, points[1].second);  // p of Pg 1/2 at locus 1, 1/4 at locus 3
    EXPECT_EQ(countOf(svg, ">windows of 1 locus</text>"), 1u);
    EXPECT_EQ(countOf(svg, ">windows of 2 loci</text>"), 1u);
    EXPECT_NE(svg.find("−log10 p of Pg, 6 windows"), std::string::npos);
    EXPECT_NE(svg.find("Bonferroni p = 0.05 / 6 windows"), std::string::npos);
    EXPECT_NE(svg.find("p = 1/(2 × 999)"), std::string::npos);
    EXPECT_NE(svg.find(">locus</text>"), std::string::npos);
}

// The heights (SVG y, downwards) of the marks of class `mark` in the panels.
std::vector<double> markHeights(const std::string& svg, const std::string& mark) {
    std::vector<double> heights;
    for (const auto& [x, y] : marksOf(svg, mark)) heights.push_back(y);
    return heights;
}

// 6 windows: the Bonferroni threshold 0.05 / 6 is reached by 1/(2R) with 100
// replicates, not with 10; the genome-wide line is drawn when known.
TEST(ResultsPlot, BonferroniLineOnlyWhereTheReplicatesReachIt) {
    for (const std::int32_t replicates : {10, 100}) {
        std::vector<window::WindowResult> windows = windowsOver(4, 2);
        windows[6].skipped = true;
        for (window::WindowResult& w : windows) w.replicateCount = replicates;
        const std::string svg = drawResultsPlot(windows, {});
        EXPECT_EQ(countOf(svg, "class=\"alpha\""), 2u);
        EXPECT_EQ(countOf(svg, "class=\"bonferroni\""), replicates == 10 ? 0u : 2u);
        EXPECT_EQ(svg.find("Bonferroni p = 0.05 / 6 windows = 0.00833: not drawn, out of reach of 10 replicates (their "
                           "smallest p above 0 is 0.05)"),
                  replicates == 10 ? svg.find("Bonferroni") : std::string::npos);
    }
    std::vector<window::WindowResult> windows = windowsOver(4, 1);
    ResultsFigure figure(runFigureScope({}, 4, defaultPlotStatistic));
    for (const window::WindowResult& w : windows) figure.add(w, runWindowPlace(w, {}, figure.scope()));
    figure.setGenomeWideLine(6.7);
    // Known only at the end: windows 1 and 3 are significant genome-wide,
    // window 2 only in another statistic than the figure's.
    for (std::size_t i = 0; i < 3; ++i) {
        statistics::FiveStatistics familyWise;
        familyWise.fill(0.5);
        (i == 1 ? familyWise[0] : familyWise[statistics::indexOf(defaultPlotStatistic)]) = 0.05;
        windows[i].familyWisePValues = familyWise;
        figure.ringFamilyWise(windows[i], runWindowPlace(windows[i], {}, figure.scope()));
    }
    const std::string svg = figure.draw();
    EXPECT_EQ(countOf(svg, "class=\"genome-wide\""), 1u);
    EXPECT_NE(svg.find("family-wise p ≤ 0.05 (significant genome-wide): 2 windows, ringed"), std::string::npos);
    EXPECT_EQ(countOf(svg, "a5 5 0 1 0 10 0"), 2u + 1u);  // and the legend's
    EXPECT_NE(svg.find("genome-wide: a family-wise p of 0.05 at −log10 p = 6.7 on the windows' chi-square reference "
                       "tails; p-values of 999 replicates stop short of it, at 3.3"),
              std::string::npos);
    EXPECT_NE(svg.find(">8</text>"), std::string::npos);  // the axis reaches the line
}

// Ties count one half, so the smallest p above 0 of R replicates is 1/(2R):
// a window of p = 0 must stand at least as high.
TEST(ResultsPlot, PZeroIsNeverDrawnBelowAPAboveZero) {
    for (const std::int32_t replicates : {1, 2, 999}) {
        std::vector<window::WindowResult> windows = windowsOver(2, 1);
        for (window::WindowResult& w : windows) w.replicateCount = replicates;
        windows[0].pValues.fill(0);
        windows[1].pValues.fill(0.5 / replicates);
        const std::string svg = drawResultsPlot(windows, {});
        const std::vector<double> zero = markHeights(svg, "zero"), above = markHeights(svg, "point");
        ASSERT_EQ(zero.size(), 1u);
        ASSERT_EQ(above.size(), 1u);
        EXPECT_LE(*std::max_element(zero.begin(), zero.end()), *std::min_element(above.begin(), above.end()))
            << replicates << " replicates";
    }
}

TEST(ResultsPlot, MarkerNamesAreEscapedAndPositionsUsedOnOneChromosome) {
    const std::vector<LocusRow> loci = {{1, "2", 1000, "a&b<c>\"d\"", {"A"}},
                                        {2, "2", 5000, std::string("bad\x01\xff\xc3\xa9"), {"A"}},
                                        {3, "2", 9000, "m3", {"A"}}};
    const std::string svg = drawResultsPlot(windowsOver(3, 3), loci);
    EXPECT_TRUE(wellFormedXml(svg));
    EXPECT_NE(svg.find(">a&amp;b&lt;c&gt;&quot;d&quot;</text>"), std::string::npos);
    EXPECT_NE(svg.find(">bad??\xc3\xa9</text>"), std::string::npos);
    EXPECT_NE(svg.find(">position on chromosome 2 (Mb)</text>"), std::string::npos);

    std::vector<LocusRow> twoChromosomes = loci;
    twoChromosomes[2].chromosome = "3";
    EXPECT_NE(drawResultsPlot(windowsOver(3, 3), twoChromosomes).find(">locus</text>"), std::string::npos);
}

// Few loci are named on the axis; many get ticks of round values, in Mb
// with positions, and their windows stand where their positions put them.
TEST(ResultsPlot, ManyLociGetTicksOfRoundValuesAndTheirPositions) {
    const std::string named = drawResultsPlot(windowsOver(40, 1), {});
    EXPECT_EQ(countOf(named, "text-anchor=\"end\" transform=\"rotate(-90"), 40u);

    // Loci 10 kb apart, from locus 200 on 30 kb.
    const auto position = [](std::int32_t l) { return l < 200 ? 10000 * l : 1990000 + 30000 * (l - 199); };
    std::vector<LocusRow> loci;
    for (std::int32_t l = 1; l <= 300; ++l) loci.push_back({l, "7", position(l), "", {}});
    const std::string svg = drawResultsPlot(windowsOver(300, 1), loci);
    EXPECT_TRUE(wellFormedXml(svg));
    EXPECT_EQ(countOf(svg, "text-anchor=\"end\" transform=\"rotate(-90"), 0u);  // no marker names
    for (const char* tick : {"middle\">1</text>", "middle\">3</text>", "middle\">5</text>"}) {
        EXPECT_NE(svg.find(tick), std::string::npos) << tick;
    }
    // Lines no longer join 300 windows.
    EXPECT_GT(svg.find("<polyline"), svg.find("QQ plot of"));
    const auto marks = marksOf(svg, "point");
    double left = 1e9, right = 0;
    for (const auto& [x, y] : marks) {
        left = std::min(left, x);
        right = std::max(right, x);
    }
    const double at200 = left + (right - left) * (position(200) - position(1)) / (position(300) - position(1));
    EXPECT_TRUE(
        std::any_of(marks.begin(), marks.end(), [&](const auto& m) { return std::abs(m.first - at200) < 0.1; }));

    EXPECT_NE(drawResultsPlot(windowsOver(300, 1), {}).find("middle\">250</text>"), std::string::npos);
}

// 140,000 windows of uniform p-values (7 sizes over 20,000 loci): the
// figure stays small, and every window of p = 0 keeps its mark (but those
// that fall on one another to the tenth of a pixel).
TEST(ResultsPlot, ManyWindowsGiveAFigureOfBoundedSize) {
    ResultsFigure figure(runFigureScope({}, 20000, defaultPlotStatistic));
    std::uint32_t state = 11;
    std::size_t zeros = 0;
    for (std::int32_t size = 1; size <= 7; ++size) {
        for (std::int32_t start = 1; start + size - 1 <= 20000; ++start) {
            window::WindowResult w;
            w.start = start;
            w.size = size;
            w.replicateCount = 1000;
            state = state * 1664525u + 1013904223u;
            const std::uint32_t k = state >> 22;  // 0 to 1023
            w.pValues.fill(k < 8 ? 0.0 : k / 1024.0);
            zeros += k < 8;
            figure.add(w, runWindowPlace(w, {}, figure.scope()));
        }
    }
    const std::string svg = figure.draw();
    EXPECT_LT(svg.size(), 900000u) << svg.size();
    EXPECT_TRUE(wellFormedXml(svg));
    EXPECT_LE(marksOf(svg, "zero").size(), zeros);
    EXPECT_GT(marksOf(svg, "zero").size(), zeros * 97 / 100);
    EXPECT_LT(marksOf(svg, "point").size(), 140000u / 2);
}

// Several runs side by side, as for a genome: each chromosome as wide as its
// loci's extent, named under its middle, every other one in grey.
TEST(ResultsPlot, ChromosomesStandSideBySideInAlternatingColours) {
    FigureScope scope;
    scope.byPosition = true;
    scope.chromosomes = {{"1", 1e6, 3e6, {}}, {"2", 5e6, 6e6, {}}, {"X", 1e6, 2e6, {}}};
    ResultsFigure figure(scope);
    for (std::size_t c = 0; c < 3; ++c) {
        for (const double at : {0.0, 0.5, 1.0}) {
            window::WindowResult w;
            w.replicateCount = 100;
            w.pValues.fill(0.5);
            const double x = scope.chromosomes[c].first + at * (scope.chromosomes[c].last - scope.chromosomes[c].first);
            figure.add(w, {c, x, x});
        }
    }
    const std::string svg = figure.draw();
    EXPECT_TRUE(wellFormedXml(svg));
    for (const char* name : {">1</text>", ">2</text>", ">X</text>", ">chromosome</text>"}) {
        EXPECT_NE(svg.find(name), std::string::npos) << name;
    }
    const auto marks = marksOf(svg, "point");
    ASSERT_EQ(marks.size(), 9u);
    // Chromosome 1 spans 2 Mb, twice the others.
    EXPECT_NEAR((marks[2].first - marks[0].first) / (marks[8].first - marks[6].first), 2, 0.01);
    EXPECT_LT(marks[2].first, marks[3].first);
    EXPECT_EQ(countOf(svg, "stroke=\"#8C8C8C\""), 2u);  // chromosome 2: its line and its dots
}

TEST(ResultsPlot, RunWithoutWindowsStillGivesAFigure) {
    const std::string svg = drawResultsPlot({}, {});
    EXPECT_TRUE(wellFormedXml(svg));
    EXPECT_NE(svg.find("no windows to show"), std::string::npos);
    EXPECT_NE(svg.find("of Pem: no window analysed</text>"), std::string::npos);
    // Nothing to count and no replicates to resolve a p-value of 0.
    EXPECT_EQ(svg.find("0 windows"), std::string::npos);
    EXPECT_EQ(svg.find("replicates"), std::string::npos);
    EXPECT_EQ(svg.find("class=\"zero\""), std::string::npos);
}

TEST(ResultsPlot, CountsAreSingularForOne) {
    std::vector<window::WindowResult> one = windowsOver(1, 1);
    one[0].replicateCount = 1;
    const std::string svg = drawResultsPlot(one, {});
    EXPECT_NE(svg.find("of Pem, 1 window, 1 replicate</text>"), std::string::npos);
    EXPECT_NE(svg.find("Bonferroni p = 0.05 / 1 window = 0.05: not drawn, out of reach of 1 replicate (their "
                       "smallest p above 0 is 0.5)</text>"),
              std::string::npos);
    EXPECT_NE(svg.find("p-values of Pem, 1 window</title>"), std::string::npos);
    EXPECT_NE(svg.find("p = 1/(2 × 1)"), std::string::npos);
}

}  // namespace
}  // namespace triotdt::output
