#include "output/results_plot.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "output/figure_axis.h"
#include "output/figure_marks.h"
#include "output/figure_math.h"
#include "output/figure_style.h"
#include "output/qq_plot.h"
#include "output/svg_document.h"

namespace triotdt::output {
namespace {

constexpr double figureWidth = 1120;
constexpr double plotLeft = 64;
constexpr double plotRight = 800;
// The QQ panel stands right of the panels of the windows, level with the first.
constexpr double qqLeft = 880;
constexpr double qqSide = 220;
constexpr double legendTop = 34;
constexpr double legendRow = 18;
constexpr double panelHeight = 120;
constexpr double panelGap = 30;
constexpr double alpha = 0.05;
// A line joins the marks of a series while they stand this far apart on average.
constexpr double lineSpacing = 4;

// A genome's every other chromosome is grey.
constexpr const char* otherChromosomeColour = "#8C8C8C";
// Marks of a panel: a series per colour of chromosome.
constexpr std::size_t seriesCount = 2;
constexpr const char* alphaColour = "#666666";
constexpr const char* bonferroniColour = "#D55E00";
constexpr const char* genomeWideColour = "#B2182B";

const char* statisticName(statistics::Statistic statistic) {
    return statistics::statisticNames[statistics::indexOf(statistic)];
}

// Base-pair positions serve only when they order the loci on one chromosome.
bool positionsUsable(const std::vector<LocusRow>& loci, std::size_t lociCount) {
    if (loci.size() < lociCount || lociCount == 0) return false;
    for (std::size_t l = 1; l < lociCount; ++l) {
        if (loci[l].chromosome != loci[0].chromosome || loci[l].position <= loci[l - 1].position) return false;
    }
    return true;
}

struct YAxis {
    double top = 1;  // -log10 p at the top of a panel
    double step = 1;
    double pixel(double panelTop, double value) const { return panelTop + panelHeight * (1 - value / top); }
};

YAxis makeYAxis(double highest) {
    YAxis axis;
    axis.step = highest > 12 ? 5 : highest > 6 ? 2 : 1;
    axis.top = std::ceil(highest * 1.05 / axis.step) * axis.step;
    return axis;
}

// Ties count one half, so the smallest p above 0 that R replicates give is
// 1/(2R); a p of 0 is drawn there, never below a window of p > 0.
Mark markOf(double x, double p, std::int32_t replicateCount) {
    if (p > 0) return {x, minusLog10(p), false};
    return {x, minusLog10(0.5 / replicateCount), true};
}

ThinnedMarks::Grid seriesGrid() {
    ThinnedMarks::Grid grid;
    grid.left = plotLeft;
    grid.width = plotRight - plotLeft;
    grid.lineLimit = static_cast<std::size_t>(grid.width / lineSpacing);
    return grid;
}

struct Panel {
    std::vector<ThinnedMarks> series;
    bool gap = false;            // the last window was skipped: no line to the next
    std::size_t chromosome = 0;  // of the last window
};

std::string dashStyle(const char* colour) {
    return std::string("stroke=\"") + colour + "\" stroke-width=\"1.2\" stroke-dasharray=\"6 4\"";
}

}  // namespace

struct ResultsFigure::State {
    FigureScope scope;
    XLayout x;
    std::map<std::int32_t, Panel> panels;
    std::size_t analysedCount = 0;
    std::int32_t fewestReplicates = 0;
    std::int32_t mostReplicates = 0;
    double highest = 0;                // -log10 p
    std::optional<double> genomeWide;  // −log10 p
    // Per window size, the rings of windows significant genome-wide, by
    // grid cell: the x pixel and −log10 p in steps of 0.05 (about a pixel).
    std::map<std::int32_t, std::set<std::pair<std::int64_t, std::int64_t>>> rings;
    std::size_t ringedCount = 0;
    PValuesBySize pValues;

    double bonferroni() const { return analysedCount > 0 ? alpha / static_cast<double>(analysedCount) : alpha; }
    // Ties count one half: no p above 0 lies below 1/(2R).
    bool bonferroniReachable() const { return mostReplicates > 0 && 0.5 / mostReplicates <= bonferroni(); }
};

ResultsFigure::ResultsFigure(FigureScope scope) : state_(std::make_unique<State>()) {
    if (scope.chromosomes.empty()) scope.chromosomes.emplace_back();
    state_->x = makeXLayout(scope, plotLeft, plotRight);
    state_->scope = std::move(scope);
}

const FigureScope& ResultsFigure::scope() const { return state_->scope; }

void ResultsFigure::setGenomeWideLine(double minusLog10P) { state_->genomeWide = minusLog10P; }

ResultsFigure::ResultsFigure(ResultsFigure&&) noexcept = default;
ResultsFigure& ResultsFigure::operator=(ResultsFigure&&) noexcept = default;
ResultsFigure::~ResultsFigure() = default;

void ResultsFigure::add(const window::WindowResult& window, const WindowPlace& place) {
    State& s = *state_;
    auto [at, added] = s.panels.try_emplace(window.size);
    Panel& panel = at->second;
    if (added) panel.series.assign(seriesCount, ThinnedMarks(seriesGrid()));
    if (window.skipped) {
        panel.gap = true;
        return;
    }
    ++s.analysedCount;
    s.fewestReplicates =
        s.analysedCount == 1 ? window.replicateCount : std::min(s.fewestReplicates, window.replicateCount);
    s.mostReplicates = std::max(s.mostReplicates, window.replicateCount);
    const double p = statistics::at(window.pValues, s.scope.statistic);
    if (!std::isnan(p)) {
        Mark mark = markOf(s.x.pixel(place), p, window.replicateCount);
        mark.breakBefore = panel.gap || place.chromosome != panel.chromosome;
        s.highest = std::max(s.highest, mark.value);
        panel.series[place.chromosome % seriesCount].add(mark);
        countPValue(s.pValues[window.size], qqValueOf(p, window.replicateCount));
    }
    panel.gap = false;
    panel.chromosome = place.chromosome;
    if (window.familyWisePValues) ringFamilyWise(window, place);
}

void ResultsFigure::ringFamilyWise(const window::WindowResult& window, const WindowPlace& place) {
    State& s = *state_;
    if (window.skipped || !window.familyWisePValues) return;
    const double p = statistics::at(window.pValues, s.scope.statistic);
    if (std::isnan(p) || !(statistics::at(*window.familyWisePValues, s.scope.statistic) <= alpha)) return;
    const Mark mark = markOf(s.x.pixel(place), p, window.replicateCount);
    ++s.ringedCount;
    s.rings[window.size].emplace(std::llround(mark.x), std::llround(mark.value * 20));
}

namespace {

// A line across the panels at a height (−log10 p), with its legend.
struct Threshold {
    double height;
    const char* name;  // the class of its lines
    std::string style;
    std::string legend;
};

struct Figure {
    SvgDocument doc;
    YAxis y;
    std::vector<Threshold> thresholds;
    std::vector<std::string> notes;  // legend rows without a line: the Bonferroni threshold out of reach
    std::string zeroNote;            // the legend of p = 0; empty without replicates
    std::string ringNote;            // the legend of the rings; empty without a genome-wide line
    double firstPanelTop = 0;
};

std::string significant(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

// The nominal line always; the Bonferroni line only where the replicates
// can reach it (otherwise the legend says so); the genome-wide line when known.
void chooseThresholds(Figure& f, std::size_t analysedCount, std::int32_t mostReplicates, bool reachable,
                      std::optional<double> genomeWide) {
    f.thresholds.push_back({minusLog10(alpha), "alpha", dashStyle(alphaColour), "p = 0.05"});
    if (analysedCount > 0) {
        const double bonferroni = alpha / static_cast<double>(analysedCount);
        const std::string legend =
            "Bonferroni p = 0.05 / " + counted(analysedCount, "window") + " = " + significant(bonferroni);
        if (reachable) {
            f.thresholds.push_back({minusLog10(bonferroni), "bonferroni", dashStyle(bonferroniColour), legend});
        } else {
            f.notes.push_back(legend + ": not drawn, out of reach of " +
                              counted(static_cast<std::size_t>(mostReplicates), "replicate") +
                              " (their smallest p above 0 is " + significant(0.5 / std::max(mostReplicates, 1)) + ")");
        }
    }
    if (genomeWide) {
        // Ties count one half: no p above 0 lies below 1/(2R).
        const double floor = minusLog10(0.5 / std::max(mostReplicates, 1));
        const std::string reach =
            *genomeWide <= floor ? std::string()
                                 : "; p-values of " + counted(static_cast<std::size_t>(mostReplicates), "replicate") +
                                       " stop short of it, at " + significant(floor);
        f.thresholds.push_back({*genomeWide, "genome-wide",
                                std::string("stroke=\"") + genomeWideColour + "\" stroke-width=\"1.5\"",
                                "genome-wide: a family-wise p of 0.05 at −log10 p = " + significant(*genomeWide) +
                                    " on the windows' chi-square reference tails" + reach});
    }
}

// The legend of p = 0, which stands at 1/(2R): the number when every
// window had the same replicates.
std::string zeroNoteOf(std::int32_t fewest, std::int32_t most) {
    const std::string where =
        fewest == most ? "p = 1/(2 × " + std::to_string(most) + ")" : "p = 1/(2R) for R replicates";
    return "p = 0 (no replicate reached the observed statistic): drawn at " + where +
           ", the smallest p above 0 of the replicates";
}

double legendRows(const Figure& f) {
    return static_cast<double>(f.thresholds.size() + f.notes.size() + (f.zeroNote.empty() ? 0 : 1) +
                               (f.ringNote.empty() ? 0 : 1));
}

void drawLegend(Figure& f) {
    double y = legendTop;
    for (const Threshold& t : f.thresholds) {
        f.doc.line(plotLeft, y, plotLeft + 18, y, t.style);
        f.doc.text(plotLeft + 24, y + 4, t.legend);
        y += legendRow;
    }
    for (const std::string& note : f.notes) {
        f.doc.text(plotLeft + 24, y + 4, note);
        y += legendRow;
    }
    if (!f.zeroNote.empty()) {
        f.doc.path(triangleAt(plotLeft + 9, y), zeroStyle("#333333"));
        f.doc.text(plotLeft + 24, y + 4, f.zeroNote);
        y += legendRow;
    }
    if (f.ringNote.empty()) return;
    f.doc.path(ringAt(plotLeft + 9, y), ringStyle(genomeWideColour));
    f.doc.text(plotLeft + 24, y + 4, f.ringNote);
}

// A window's family-wise p rests on its reference tail, not on its
// resampled p: where the replicates cannot reach the line, the windows
// significant genome-wide stand below it, and only their rings tell them.
std::string ringNoteOf(std::size_t ringed) {
    return "family-wise p ≤ 0.05 (significant genome-wide): " +
           (ringed == 0 ? std::string("no window") : counted(ringed, "window") + ", ringed");
}

void drawPanelFrame(Figure& f, double top, std::int32_t size) {
    f.doc.text(plotLeft, top - 8, windowsOfSize(size), "font-weight=\"bold\"");
    for (double v = 0; v <= f.y.top + 1e-9; v += f.y.step) {
        const double y = f.y.pixel(top, v);
        f.doc.line(plotLeft, y, plotRight, y, "stroke=\"#e4e4e4\"");
        f.doc.text(plotLeft - 6, y + 4, std::to_string(static_cast<int>(v)), "text-anchor=\"end\"");
    }
    f.doc.text(18, top + panelHeight / 2, "−log10 p",
               "text-anchor=\"middle\" transform=\"rotate(-90 18 " + pixels(top + panelHeight / 2) + ")\"");
    for (const Threshold& t : f.thresholds) {
        const double y = f.y.pixel(top, t.height);
        f.doc.line(plotLeft, y, plotRight, y, std::string("class=\"") + t.name + "\" " + t.style);
    }
    f.doc.rect(plotLeft, top, plotRight - plotLeft, panelHeight, "fill=\"none\" stroke=\"#333333\"");
}

// The marks of one series: a line through them while they are kept in
// order, then a dot for each, a triangle for each p of 0.
void drawSeries(Figure& f, double top, const ThinnedMarks& marks, const char* colour) {
    const std::vector<Mark> all = marks.marks();
    if (marks.inOrder()) {
        std::string points;
        const auto endLine = [&] {
            if (points.find(' ') != points.rfind(' ')) {
                f.doc.svg += std::string("<polyline fill=\"none\" stroke=\"") + colour +
                             "\" stroke-width=\"1.2\" stroke-opacity=\"0.7\" points=\"" + points + "\"/>\n";
            }
            points.clear();
        };
        for (const Mark& mark : all) {
            if (mark.breakBefore) endLine();
            points += pixels(mark.x) + "," + pixels(f.y.pixel(top, mark.value)) + " ";
        }
        endLine();
    }
    std::string dots, triangles;
    for (const Mark& mark : all) {
        (mark.zero ? triangles : dots) += (mark.zero ? triangleAt : dotAt)(mark.x, f.y.pixel(top, mark.value));
    }
    f.doc.path(dots, dotStyle(colour));
    f.doc.path(triangles, zeroStyle(colour));
}

void drawRings(Figure& f, double top, const std::set<std::pair<std::int64_t, std::int64_t>>& rings) {
    std::string path;
    for (const auto& [x, value] : rings) {
        path += ringAt(static_cast<double>(x), f.y.pixel(top, static_cast<double>(value) / 20));
    }
    f.doc.path(path, ringStyle(genomeWideColour));
}

}  // namespace

std::string ResultsFigure::draw() const {
    const State& s = *state_;
    Figure f;
    chooseThresholds(f, s.analysedCount, s.mostReplicates, s.bonferroniReachable(), s.genomeWide);
    // Without replicates there is no p = 0 to explain.
    if (s.analysedCount > 0 && s.mostReplicates > 0) f.zeroNote = zeroNoteOf(s.fewestReplicates, s.mostReplicates);
    if (s.genomeWide) f.ringNote = ringNoteOf(s.ringedCount);
    double highest = s.highest;
    for (const Threshold& t : f.thresholds) highest = std::max(highest, t.height);
    f.y = makeYAxis(highest);
    f.firstPanelTop = legendTop + legendRows(f) * legendRow + 22;

    const double panelsBottom =
        f.firstPanelTop + static_cast<double>(s.panels.size()) * (panelHeight + panelGap) - panelGap;
    const double qqBottom = f.firstPanelTop + qqPanelHeight(qqSide, s.pValues.size());
    const double height = std::ceil(std::max(panelsBottom + xLabelRoom(s.scope) + 30, qqBottom + 16));

    f.doc.svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                pixels(figureWidth) + "\" height=\"" + pixels(height) + "\" viewBox=\"0 0 " + pixels(figureWidth) +
                " " + pixels(height) + "\" font-family=\"sans-serif\" font-size=\"" + pixels(fontSize) + "\">\n";
    f.doc.svg += std::string("<title>triotdt: −log10 p-values of ") + statisticName(s.scope.statistic) + ", " +
                 (s.analysedCount == 0 ? std::string("no window") : counted(s.analysedCount, "window")) + "</title>\n";
    f.doc.svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    const std::string scope = s.analysedCount == 0
                                  ? ": no window analysed"
                                  : ", " + counted(s.analysedCount, "window") + ", " +
                                        counted(static_cast<std::size_t>(s.mostReplicates), "replicate");
    f.doc.text(plotLeft, 18, std::string("−log10 p of ") + statisticName(s.scope.statistic) + scope,
               "font-size=\"13\" font-weight=\"bold\"");
    drawLegend(f);
    if (s.panels.empty()) f.doc.text(plotLeft, f.firstPanelTop, "no windows to show");

    double top = f.firstPanelTop;
    for (const auto& [size, panel] : s.panels) {
        drawPanelFrame(f, top, size);
        drawSeries(f, top, panel.series[0], sizeColour(size));
        drawSeries(f, top, panel.series[1], otherChromosomeColour);
        if (const auto rings = s.rings.find(size); rings != s.rings.end()) drawRings(f, top, rings->second);
        top += panelHeight + panelGap;
    }
    if (!s.panels.empty()) drawXAxis(f.doc, s.scope, s.x, panelsBottom);
    drawQqPanel(f.doc, s.pValues, statisticName(s.scope.statistic), qqLeft, f.firstPanelTop, qqSide);
    f.doc.text((plotLeft + plotRight) / 2, height - 8, xAxisTitle(s.scope), "text-anchor=\"middle\"");
    f.doc.svg += "</svg>\n";
    return f.doc.svg;
}

std::optional<double> ResultsFigure::inflation() const { return inflationFactor(pooled(state_->pValues)); }

std::string inflationLine(const ResultsFigure& figure) {
    const std::optional<double> lambda = figure.inflation();
    if (!lambda) return {};
    return std::string("Inflation factor of the ") + statisticName(figure.scope().statistic) +
           " p-values in the figure: lambda = " + inflationText(*lambda) + "\n";
}

FigureScope runFigureScope(const std::vector<LocusRow>& loci, std::int32_t lociCount, statistics::Statistic statistic) {
    const auto count = static_cast<std::size_t>(std::max(lociCount, 0));
    FigureScope scope;
    scope.statistic = statistic;
    scope.byPosition = positionsUsable(loci, count);
    FigureChromosome chromosome;
    if (scope.byPosition) {
        chromosome.name = loci.front().chromosome;
        chromosome.first = static_cast<double>(loci.front().position);
        chromosome.last = static_cast<double>(loci[count - 1].position);
    } else {
        chromosome.last = std::max(static_cast<double>(count), 1.0);
    }
    // Loci are named only when every name has room.
    if (static_cast<double>(count) * locusLabelSpacing <= plotRight - plotLeft - 2 * axisPadding) {
        for (std::size_t l = 0; l < count; ++l) {
            const bool named = l < loci.size() && !loci[l].marker.empty();
            chromosome.namedLoci.emplace_back(
                scope.byPosition ? static_cast<double>(loci[l].position) : static_cast<double>(l + 1),
                named ? loci[l].marker : std::to_string(l + 1));
        }
    }
    scope.chromosomes.push_back(std::move(chromosome));
    return scope;
}

WindowPlace runWindowPlace(const window::WindowResult& window, const std::vector<LocusRow>& loci,
                           const FigureScope& scope) {
    const auto first = static_cast<std::size_t>(window.start - 1);
    const auto last = static_cast<std::size_t>(window.lastLocus() - 1);
    if (!scope.byPosition || last >= loci.size())
        return {0, static_cast<double>(window.start), static_cast<double>(window.lastLocus())};
    return {0, static_cast<double>(loci[first].position), static_cast<double>(loci[last].position)};
}

void completeTableAndFigure(std::optional<io::StagedOutput>& table, std::optional<io::StagedOutput>& figure,
                            const ResultsFigure* drawn, io::StagedOutput* alongside) {
    if (alongside) alongside->unit().finish();
    if (table) table->unit().finish();
    if (figure && drawn) {
        figure->unit().text() = drawn->draw();
        figure->unit().finish();
    }
    if (alongside) alongside->publish();
    if (table) table->publish();
    if (figure) figure->publish();
}

std::optional<statistics::Statistic> statisticNamed(std::string_view name) {
    for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
        const std::string_view known = statistics::statisticNames[s];
        if (std::equal(name.begin(), name.end(), known.begin(), known.end(),
                       [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); })) {
            return static_cast<statistics::Statistic>(s);
        }
    }
    return std::nullopt;
}

std::string plotStatisticProblem(const std::string& name) {
    return statisticNamed(name) ? std::string() : "'" + name + "' is none of the statistics Punamb, Pg, Pe, Pc and Pem";
}

std::string figurePathProblem(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.size() > 4 && lower.ends_with(".svg") ? std::string() : "the figure is SVG: FILE must end in .svg";
}

}  // namespace triotdt::output
