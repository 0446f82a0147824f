#include "output/results_plot.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>

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

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not valid.
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                               : lead >= 0xE0                ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

// Text made safe for XML character data and attribute values: markup
// characters escaped, control characters and bytes that are not UTF-8 shown as '?'.
std::string escaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else if (const std::size_t length = c >= 0x80 ? utf8Length(text, i) : 0; length > 0) {
            out.append(text.substr(i, length));
            i += length - 1;
        } else out += '?';
    }
    return out;
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
        const auto last = static_cast<std::size_t>(w.start + w.size - 2);
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

struct Mark {
    double value;  // -log10 p
    bool zero;     // p = 0, drawn at the resolution of the replicates
};

// Ties count one half, so the smallest p above 0 that R replicates give is
// 1/(2R); a p of 0 is drawn there, never below a window of p > 0.
Mark markOf(double p, std::int32_t replicateCount) {
    if (p > 0) return {-std::log10(p), false};
    return {std::log10(2.0 * replicateCount), true};
}

YAxis makeYAxis(std::span<const window::WindowResult> windows, double bonferroni) {
    double highest = -std::log10(bonferroni);
    for (const window::WindowResult& w : windows) {
        if (w.skipped) continue;
        for (const double p : w.pValues) {
            if (!std::isnan(p)) highest = std::max(highest, markOf(p, w.replicateCount).value);
        }
    }
    YAxis axis;
    axis.step = highest > 12 ? 5 : highest > 6 ? 2 : 1;
    axis.top = std::ceil(highest * 1.05 / axis.step) * axis.step;
    return axis;
}

struct Figure {
    std::string svg;
    XAxis x;
    YAxis y;
    double bonferroni = alpha;

    void line(double x1, double y1, double x2, double y2, const std::string& style) {
        svg += "<line x1=\"" + number(x1) + "\" y1=\"" + number(y1) + "\" x2=\"" + number(x2) + "\" y2=\"" +
               number(y2) + "\" " + style + "/>\n";
    }
    void text(double x, double y, const std::string& content, const std::string& style = "") {
        svg += "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\"" + (style.empty() ? "" : " " + style) + ">" +
               escaped(content) + "</text>\n";
    }
    void marker(double x, double y, const char* colour, bool zero) {
        if (zero) {
            svg += "<path class=\"zero\" d=\"M" + number(x) + " " + number(y - 4) + " l4 7 h-8 z\" fill=\"" + colour +
                   "\"/>\n";
        } else {
            svg += "<circle class=\"point\" cx=\"" + number(x) + "\" cy=\"" + number(y) + "\" r=\"2.5\" fill=\"" +
                   colour + "\"/>\n";
        }
    }
};

const char* dashed(bool bonferroni) { return bonferroni ? bonferroniColour : alphaColour; }

std::string dashStyle(bool bonferroni) {
    return std::string("stroke=\"") + dashed(bonferroni) + "\" stroke-width=\"1.2\" stroke-dasharray=\"6 4\"";
}

void drawLegend(Figure& f, std::int32_t replicateCount, std::size_t analysedCount) {
    double x = plotLeft;
    for (const Series& s : series) {
        f.line(x, legendTop, x + 18, legendTop, std::string("stroke=\"") + s.colour + "\" stroke-width=\"1.5\"");
        f.marker(x + 9, legendTop, s.colour, false);
        f.text(x + 24, legendTop + 4, s.name);
        x += 80;
    }
    const double row2 = legendTop + 20;
    f.line(plotLeft, row2, plotLeft + 18, row2, dashStyle(false));
    f.text(plotLeft + 24, row2 + 4, "p = 0.05");
    if (analysedCount > 0) {
        char threshold[64];
        std::snprintf(threshold, sizeof threshold, "%.3g", f.bonferroni);
        f.line(plotLeft + 120, row2, plotLeft + 138, row2, dashStyle(true));
        f.text(plotLeft + 144, row2 + 4,
               "Bonferroni p = 0.05 / " + counted(analysedCount, "window") + " = " + threshold);
    }
    // Without replicates there is no p = 0 to explain.
    if (analysedCount == 0 || replicateCount <= 0) return;
    const double row3 = row2 + 20;
    f.marker(plotLeft + 9, row3, "#333333", true);
    f.text(plotLeft + 24, row3 + 4,
           "p = 0 (no replicate reached the observed statistic): drawn at p = 1/(2 × " +
               std::to_string(replicateCount) + "), the smallest p above 0 of the replicates");
}

void drawPanelFrame(Figure& f, double top, std::int32_t size, bool labelLoci) {
    const double bottom = top + panelHeight;
    f.text(plotLeft, top - 8, "windows of " + std::to_string(size) + (size == 1 ? " locus" : " loci"),
           "font-weight=\"bold\"");
    for (double v = 0; v <= f.y.top + 1e-9; v += f.y.step) {
        const double y = f.y.pixel(top, v);
        f.line(plotLeft, y, plotRight, y, "stroke=\"#e4e4e4\"");
        f.text(plotLeft - 6, y + 4, std::to_string(static_cast<int>(v)), "text-anchor=\"end\"");
    }
    f.text(18, top + panelHeight / 2, "-log10 p",
           "text-anchor=\"middle\" transform=\"rotate(-90 18 " + number(top + panelHeight / 2) + ")\"");
    for (const bool bonferroni : {false, true}) {
        const double y = f.y.pixel(top, -std::log10(bonferroni ? f.bonferroni : alpha));
        f.line(plotLeft, y, plotRight, y, dashStyle(bonferroni));
    }
    f.svg += "<rect x=\"" + number(plotLeft) + "\" y=\"" + number(top) + "\" width=\"" + number(plotRight - plotLeft) +
             "\" height=\"" + number(panelHeight) + "\" fill=\"none\" stroke=\"#333333\"/>\n";
    double lastLabel = -1e9;
    for (std::size_t l = 0; l < f.x.locusValue.size(); ++l) {
        const double x = f.x.pixel(f.x.locusValue[l]);
        f.line(x, bottom, x, bottom + 4, "stroke=\"#333333\"");
        if (!labelLoci || x - lastLabel < labelSpacing) continue;
        lastLabel = x;
        f.text(x + 4, bottom + 8, f.x.labels[l],
               "text-anchor=\"end\" transform=\"rotate(-90 " + number(x + 4) + " " + number(bottom + 8) + ")\"");
    }
}

void drawPanelData(Figure& f, double top, const std::vector<const window::WindowResult*>& windows) {
    for (std::size_t s = 0; s < series.size(); ++s) {
        // Statistics with equal p-values would hide one another: each is set a little apart.
        const double dodge = (static_cast<double>(s) - 2) * 2.5;
        std::string points;
        const auto endLine = [&] {
            if (points.find(' ') != points.rfind(' ')) {
                f.svg += std::string("<polyline fill=\"none\" stroke=\"") + series[s].colour +
                         "\" stroke-width=\"1.2\" stroke-opacity=\"0.7\" points=\"" + points + "\"/>\n";
            }
            points.clear();
        };
        for (const window::WindowResult* w : windows) {
            const double p = w->pValues[s];
            if (w->skipped || std::isnan(p)) {
                endLine();
                continue;
            }
            const Mark mark = markOf(p, w->replicateCount);
            points += number(f.x.windowPixel(*w) + dodge) + "," + number(f.y.pixel(top, mark.value)) + " ";
        }
        endLine();
        for (const window::WindowResult* w : windows) {
            const double p = w->pValues[s];
            if (w->skipped || std::isnan(p)) continue;
            const Mark mark = markOf(p, w->replicateCount);
            f.marker(f.x.windowPixel(*w) + dodge, f.y.pixel(top, mark.value), series[s].colour, mark.zero);
        }
    }
}

}  // namespace

std::string drawResultsPlot(std::span<const window::WindowResult> windows, const std::vector<LocusRow>& loci) {
    std::map<std::int32_t, std::vector<const window::WindowResult*>> bySize;
    std::size_t lociCount = 0;
    std::size_t analysedCount = 0;
    std::int32_t replicateCount = 0;
    for (const window::WindowResult& w : windows) {
        bySize[w.size].push_back(&w);
        lociCount = std::max(lociCount, static_cast<std::size_t>(w.start + w.size - 1));
        if (!w.skipped) {
            ++analysedCount;
            replicateCount = w.replicateCount;
        }
    }
    Figure f;
    f.bonferroni = analysedCount > 0 ? alpha / static_cast<double>(analysedCount) : alpha;
    f.x = makeXAxis(loci, lociCount);
    f.y = makeYAxis(windows, f.bonferroni);

    std::size_t longest = 0;
    for (const std::string& label : f.x.labels) longest = std::max(longest, label.size());
    const double panelsBottom =
        firstPanelTop + static_cast<double>(bySize.size()) * (panelHeight + panelGap) - panelGap;
    const double height = std::ceil(panelsBottom + 24 + static_cast<double>(longest) * fontSize * 0.62 + 30);

    f.svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
            number(figureWidth) + "\" height=\"" + number(height) + "\" viewBox=\"0 0 " + number(figureWidth) + " " +
            number(height) + "\" font-family=\"sans-serif\" font-size=\"" + number(fontSize) + "\">\n";
    f.svg += "<title>triotdt: -log10 p-values of " +
             (analysedCount == 0 ? std::string("no window") : counted(analysedCount, "window")) + "</title>\n";
    f.svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
    const std::string scope = analysedCount == 0 ? ": no window analysed"
                                                 : ", " + counted(analysedCount, "window") + ", " +
                                                       counted(static_cast<std::size_t>(replicateCount), "replicate");
    f.text(plotLeft, 18, "-log10 p of the five statistics" + scope, "font-size=\"13\" font-weight=\"bold\"");
    drawLegend(f, replicateCount, analysedCount);
    if (bySize.empty()) f.text(plotLeft, firstPanelTop, "no windows to show");

    double top = firstPanelTop;
    for (const auto& [size, sizeWindows] : bySize) {
        drawPanelFrame(f, top, size, size == bySize.rbegin()->first);
        drawPanelData(f, top, sizeWindows);
        top += panelHeight + panelGap;
    }
    f.text((plotLeft + plotRight) / 2, height - 8, f.x.title, "text-anchor=\"middle\"");
    f.svg += "</svg>\n";
    return f.svg;
}

void completeTableAndFigure(std::optional<io::StagedOutput>& table, std::optional<io::StagedOutput>& figure,
                            std::span<const window::WindowResult> windows, const std::vector<LocusRow>& loci) {
    if (table) table->unit().finish();
    if (figure) {
        figure->unit().text() = drawResultsPlot(windows, loci);
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
