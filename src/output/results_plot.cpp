#include "output/results_plot.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

#include "output/figure_marks.h"
#include "output/figure_math.h"
#include "output/svg_document.h"

namespace triotdt::output {
namespace {

constexpr double figureWidth = 860;
constexpr double plotLeft = 64;
constexpr double plotRight = figureWidth - 16;
constexpr double legendTop = 34;
constexpr double firstPanelTop = 112;
constexpr double panelHeight = 150;
constexpr double panelGap = 34;
constexpr double fontSize = 11;
// Locus labels stand upright; neighbours need this many pixels between them.
constexpr double labelSpacing = fontSize + 2;
constexpr std::size_t longestLabel = 24;
constexpr double alpha = 0.05;
// A line joins the marks of a series while they stand this far apart on average.
constexpr double lineSpacing = 4;
constexpr double dotDiameter = 4.5;

struct Series {
    const char* name;
    const char* colour;
};
// Colours told apart with the common forms of colour blindness.
constexpr std::array<Series, 5> series = {
    {{"Punamb", "#E69F00"}, {"Pg", "#56B4E9"}, {"Pe", "#009E73"}, {"Pc", "#0072B2"}, {"Pem", "#D55E00"}}};
constexpr const char* alphaColour = "#666666";
constexpr const char* bonferroniColour = "#CC79A7";

// "1 window", "2 windows".
std::string counted(std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string shortened(const std::string& label) {
    return label.size() <= longestLabel ? label : label.substr(0, longestLabel - 3) + "...";
}

struct XAxis {
    std::vector<double> locusValue;  // per locus (0-based)
    std::vector<std::string> labels;
    std::string title;
    double low = 0;
    double high = 1;

    double pixel(double value) const { return plotLeft + (value - low) / (high - low) * (plotRight - plotLeft); }
    double windowPixel(const window::WindowResult& w) const {
        const auto first = static_cast<std::size_t>(w.start - 1);
        const auto last = static_cast<std::size_t>(w.lastLocus() - 1);
        if (last >= locusValue.size()) return pixel(high);
        return pixel((locusValue[first] + locusValue[last]) / 2);
    }
};

// Base-pair positions serve only when they order the loci on one chromosome.
bool positionsUsable(const std::vector<LocusRow>& loci, std::size_t lociCount) {
    if (loci.size() < lociCount || lociCount == 0) return false;
    for (std::size_t l = 1; l < lociCount; ++l) {
        if (loci[l].chromosome != loci[0].chromosome || loci[l].position <= loci[l - 1].position) return false;
    }
    return true;
}

XAxis makeXAxis(const std::vector<LocusRow>& loci, std::size_t lociCount) {
    XAxis axis;
    const bool byPosition = positionsUsable(loci, lociCount);
    axis.title = byPosition ? "position on chromosome " + loci[0].chromosome + " (bp)" : "locus";
    for (std::size_t l = 0; l < lociCount; ++l) {
        axis.locusValue.push_back(byPosition ? static_cast<double>(loci[l].position) : static_cast<double>(l + 1));
        const bool named = l < loci.size() && !loci[l].marker.empty();
        axis.labels.push_back(named ? shortened(loci[l].marker) : std::to_string(l + 1));
    }
    if (lociCount == 0) return axis;
    const double first = axis.locusValue.front();
    const double last = axis.locusValue.back();
    const double margin = last > first ? (last - first) * 0.04 : 0.5;
    axis.low = first - margin;
    axis.high = last + margin;
    return axis;
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
    bool gap = false;  // the last window was skipped: no line to the next
};

std::string dashStyle(const char* colour) {
    return std::string("stroke=\"") + colour + "\" stroke-width=\"1.2\" stroke-dasharray=\"6 4\"";
}

std::string dotStyle(const char* colour) {
    return std::string("class=\"point\" fill=\"none\" stroke=\"") + colour + "\" stroke-width=\"" +
           pixels(dotDiameter) + "\" stroke-linecap=\"round\"";
}

std::string zeroStyle(const char* colour) {
    return std::string("class=\"zero\" fill=\"") + colour + "\" stroke=\"#333333\" stroke-width=\"0.6\"";
}

// A dot is a path of no length with round ends: a dozen bytes a mark.
std::string dotAt(double x, double y) { return "M" + pixels(x) + " " + pixels(y) + "h0"; }
std::string triangleAt(double x, double y) { return "M" + pixels(x) + " " + pixels(y - 4) + "l4 7h-8z"; }

}  // namespace

struct ResultsFigure::State {
    XAxis x;
    std::map<std::int32_t, Panel> panels;
    std::size_t analysedCount = 0;
    std::int32_t fewestReplicates = 0;
    std::int32_t mostReplicates = 0;
    double highest = 0;  // -log10 p

    double bonferroni() const { return analysedCount > 0 ? alpha / static_cast<double>(analysedCount) : alpha; }
};

ResultsFigure::ResultsFigure(const std::vector<LocusRow>& loci, std::int32_t lociCount)
    : state_(std::make_unique<State>()) {
    state_->x = makeXAxis(loci, static_cast<std::size_t>(std::max(lociCount, 0)));
}

ResultsFigure::ResultsFigure(ResultsFigure&&) noexcept = default;
ResultsFigure& ResultsFigure::operator=(ResultsFigure&&) noexcept = default;
ResultsFigure::~ResultsFigure() = default;

void ResultsFigure::add(const window::WindowResult& window) {
    State& s = *state_;
    auto [at, added] = s.panels.try_emplace(window.size);
    Panel& panel = at->second;
    if (added) panel.series.assign(series.size(), ThinnedMarks(seriesGrid()));
    if (window.skipped) {
        panel.gap = true;
        return;
    }
    ++s.analysedCount;
    s.fewestReplicates =
        s.analysedCount == 1 ? window.replicateCount : std::min(s.fewestReplicates, window.replicateCount);
    s.mostReplicates = std::max(s.mostReplicates, window.replicateCount);
    const double x = s.x.windowPixel(window);
    for (std::size_t k = 0; k < series.size(); ++k) {
        const double p = window.pValues[k];
        if (std::isnan(p)) continue;
        // Statistics with equal p-values would hide one another: each is set a little apart.
        Mark mark = markOf(x + (static_cast<double>(k) - 2) * 2.5, p, window.replicateCount);
        mark.breakBefore = panel.gap;
        s.highest = std::max(s.highest, mark.value);
        panel.series[k].add(mark);
    }
    panel.gap = false;
}

namespace {

struct Figure {
    SvgDocument doc;
    XAxis x;
    YAxis y;
    double bonferroni = alpha;
};

void drawLegend(Figure& f, std::int32_t replicateCount, std::size_t analysedCount) {
    double x = plotLeft;
    for (const Series& s : series) {
        f.doc.line(x, legendTop, x + 18, legendTop, std::string("stroke=\"") + s.colour + "\" stroke-width=\"1.5\"");
        f.doc.path(dotAt(x + 9, legendTop), dotStyle(s.colour));
        f.doc.text(x + 24, legendTop + 4, s.name);
        x += 80;
    }
    const double row2 = legendTop + 20;
    f.doc.line(plotLeft, row2, plotLeft + 18, row2, dashStyle(alphaColour));
    f.doc.text(plotLeft + 24, row2 + 4, "p = 0.05");
    if (analysedCount > 0) {
        char threshold[64];
        std::snprintf(threshold, sizeof threshold, "%.3g", f.bonferroni);
        f.doc.line(plotLeft + 120, row2, plotLeft + 138, row2, dashStyle(bonferroniColour));
        f.doc.text(plotLeft + 144, row2 + 4,
                   "Bonferroni p = 0.05 / " + counted(analysedCount, "window") + " = " + threshold);
    }
    // Without replicates there is no p = 0 to explain.
    if (analysedCount == 0 || replicateCount <= 0) return;
    const double row3 = row2 + 20;
    f.doc.path(triangleAt(plotLeft + 9, row3), zeroStyle("#333333"));
    f.doc.text(plotLeft + 24, row3 + 4,
               "p = 0 (no replicate reached the observed statistic): drawn at p = 1/(2 × " +
                   std::to_string(replicateCount) + "), the smallest p above 0 of the replicates");
}

void drawPanelFrame(Figure& f, double top, std::int32_t size, bool labelLoci) {
    const double bottom = top + panelHeight;
    f.doc.text(plotLeft, top - 8, "windows of " + std::to_string(size) + (size == 1 ? " locus" : " loci"),
               "font-weight=\"bold\"");
    for (double v = 0; v <= f.y.top + 1e-9; v += f.y.step) {
        const double y = f.y.pixel(top, v);
        f.doc.line(plotLeft, y, plotRight, y, "stroke=\"#e4e4e4\"");
        f.doc.text(plotLeft - 6, y + 4, std::to_string(static_cast<int>(v)), "text-anchor=\"end\"");
    }
    f.doc.text(18, top + panelHeight / 2, "-log10 p",
               "text-anchor=\"middle\" transform=\"rotate(-90 18 " + pixels(top + panelHeight / 2) + ")\"");
    for (const bool bonferroni : {false, true}) {
        const double y = f.y.pixel(top, minusLog10(bonferroni ? f.bonferroni : alpha));
        f.doc.line(plotLeft, y, plotRight, y, dashStyle(bonferroni ? bonferroniColour : alphaColour));
    }
    f.doc.rect(plotLeft, top, plotRight - plotLeft, panelHeight, "fill=\"none\" stroke=\"#333333\"");
    double lastLabel = -1e9;
    for (std::size_t l = 0; l < f.x.locusValue.size(); ++l) {
        const double x = f.x.pixel(f.x.locusValue[l]);
        f.doc.line(x, bottom, x, bottom + 4, "stroke=\"#333333\"");
        if (!labelLoci || x - lastLabel < labelSpacing) continue;
        lastLabel = x;
        f.doc.text(x + 4, bottom + 8, f.x.labels[l],
                   "text-anchor=\"end\" transform=\"rotate(-90 " + pixels(x + 4) + " " + pixels(bottom + 8) + ")\"");
    }
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

}  // namespace

std::string ResultsFigure::draw() const {
    const State& s = *state_;
    Figure f;
    f.bonferroni = s.bonferroni();
    f.x = s.x;
    f.y = makeYAxis(std::max(s.highest, minusLog10(f.bonferroni)));

    std::size_t longest = 0;
    for (const std::string& label : f.x.labels) longest = std::max(longest, label.size());
    const double panelsBottom =
        firstPanelTop + static_cast<double>(s.panels.size()) * (panelHeight + panelGap) - panelGap;
    const double height = std::ceil(panelsBottom + 24 + static_cast<double>(longest) * fontSize * 0.62 + 30);

    f.doc.svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
                pixels(figureWidth) + "\" height=\"" + pixels(height) + "\" viewBox=\"0 0 " + pixels(figureWidth) +
                " " + pixels(height) + "\" font-family=\"sans-serif\" font-size=\"" + pixels(fontSize) + "\">\n";
    f.doc.svg += "<title>triotdt: -log10 p-values of " +
                 (s.analysedCount == 0 ? std::string("no window") : counted(s.analysedCount, "window")) + "</title>\n";
    f.doc.svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    const std::string scope = s.analysedCount == 0
                                  ? ": no window analysed"
                                  : ", " + counted(s.analysedCount, "window") + ", " +
                                        counted(static_cast<std::size_t>(s.mostReplicates), "replicate");
    f.doc.text(plotLeft, 18, "-log10 p of the five statistics" + scope, "font-size=\"13\" font-weight=\"bold\"");
    drawLegend(f, s.mostReplicates, s.analysedCount);
    if (s.panels.empty()) f.doc.text(plotLeft, firstPanelTop, "no windows to show");

    double top = firstPanelTop;
    for (const auto& [size, panel] : s.panels) {
        drawPanelFrame(f, top, size, size == s.panels.rbegin()->first);
        for (std::size_t k = 0; k < series.size(); ++k) drawSeries(f, top, panel.series[k], series[k].colour);
        top += panelHeight + panelGap;
    }
    f.doc.text((plotLeft + plotRight) / 2, height - 8, f.x.title, "text-anchor=\"middle\"");
    f.doc.svg += "</svg>\n";
    return f.doc.svg;
}

void completeTableAndFigure(std::optional<io::StagedOutput>& table, std::optional<io::StagedOutput>& figure,
                            const ResultsFigure* drawn) {
    if (table) table->unit().finish();
    if (figure && drawn) {
        figure->unit().text() = drawn->draw();
        figure->unit().finish();
    }
    if (table) table->publish();
    if (figure) figure->publish();
}

std::string figurePathProblem(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return lower.size() > 4 && lower.ends_with(".svg") ? std::string() : "the figure is SVG: FILE must end in .svg";
}

}  // namespace triotdt::output
