#include "output/qq_plot.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <vector>

#include "output/figure_math.h"
#include "output/figure_style.h"

namespace triotdt::output {
namespace {

constexpr const char* bandColour = "#DDDDDD";
constexpr std::size_t exactCountLimit = 16384;
constexpr double legendRow = 16;
// From the square's bottom to the first row of the legend, past the axis title.
constexpr double legendTop = 56;

// Where -log10 p values stand in the square.
struct QqAxes {
    double left = 0;
    double top = 0;
    double side = 1;
    double highest = 1;  // -log10 p at the top and at the right
    double step = 1;

    double x(double expected) const { return left + side * expected / highest; }
    double y(double observed) const { return top + side * (1 - observed / highest); }
};

std::int64_t countOf(const PValueCounts& counts) {
    std::int64_t n = 0;
    for (const auto& [value, count] : counts) n += count;
    return n;
}

// -log10 of the p expected at `rank` (1-based) of n.
double expectedAt(std::int64_t rank, std::int64_t n) {
    return minusLog10((static_cast<double>(rank) - 0.5) / static_cast<double>(n));
}

// A polyline's points, leaving out those within half a pixel of the last one
// kept: a staircase of thousands of steps crowds into the lower left corner.
class Points {
public:
    void add(double x, double y, bool last = false) {
        if (!text_.empty() && !last && std::abs(x - x_) < 0.5 && std::abs(y - y_) < 0.5) return;
        text_ += pixels(x) + "," + pixels(y) + " ";
        x_ = x;
        y_ = y;
    }
    std::string text() const { return text_.empty() ? text_ : text_.substr(0, text_.size() - 1); }

private:
    std::string text_;
    double x_ = 0;
    double y_ = 0;
};

// 95 % of the i-th smallest of n uniform p-values lie between its 2.5 % and
// 97.5 % quantiles; ranks on a geometric scale trace the band.
void drawBand(SvgDocument& doc, const QqAxes& axes, std::int64_t n) {
    std::vector<std::int64_t> ranks;
    for (std::int64_t i = 1; i <= n; i = std::max(i + 1, static_cast<std::int64_t>(static_cast<double>(i) * 1.2))) {
        ranks.push_back(i);
    }
    if (ranks.back() != n) ranks.push_back(n);
    std::string points;
    const auto add = [&](std::int64_t i, double q) {
        const double observed = std::min(minusLog10(uniformOrderQuantile(i, n, q)), axes.highest);
        points += pixels(axes.x(expectedAt(i, n))) + "," + pixels(axes.y(observed)) + " ";
    };
    for (const std::int64_t i : ranks) add(i, 0.025);
    for (auto i = ranks.rbegin(); i != ranks.rend(); ++i) add(*i, 0.975);
    points.pop_back();
    doc.svg += std::string("<polygon class=\"band\" fill=\"") + bandColour + "\" points=\"" + points + "\"/>\n";
}

// The windows of one size from the smallest p up: each p-value a level at
// its observed height across the expected values of its ranks.
void drawStaircase(SvgDocument& doc, const QqAxes& axes, const PValueCounts& counts, const char* colour) {
    const std::int64_t n = countOf(counts);
    Points points;
    std::string triangles;
    std::int64_t rank = 0;
    std::size_t level = 0;
    for (const auto& [value, count] : counts) {
        const double y = axes.y(minusLog10(value.p));
        const double first = axes.x(expectedAt(rank + 1, n));
        points.add(first, y);
        if (value.zero) triangles += triangleAt(first, y);
        rank += count;
        points.add(axes.x(expectedAt(rank, n)), y, ++level == counts.size());
    }
    doc.svg += std::string("<polyline class=\"qq\" fill=\"none\" stroke=\"") + colour +
               "\" stroke-width=\"1.5\" points=\"" + points.text() + "\"/>\n";
    doc.path(triangles, zeroStyle(colour));
}

void drawAxes(SvgDocument& doc, const QqAxes& axes) {
    const double bottom = axes.top + axes.side;
    for (double v = 0; v <= axes.highest + 1e-9; v += axes.step) {
        const std::string label = std::to_string(static_cast<int>(v));
        doc.line(axes.x(v), bottom, axes.x(v), bottom + 4, "stroke=\"#333333\"");
        doc.text(axes.x(v), bottom + 16, label, "text-anchor=\"middle\"");
        doc.line(axes.left - 4, axes.y(v), axes.left, axes.y(v), "stroke=\"#333333\"");
        doc.text(axes.left - 6, axes.y(v) + 4, label, "text-anchor=\"end\"");
    }
    doc.text(axes.left + axes.side / 2, bottom + 32, "expected −log10 p", "text-anchor=\"middle\"");
    const double middle = axes.top + axes.side / 2;
    doc.text(axes.left - 24, middle, "observed −log10 p",
             "text-anchor=\"middle\" transform=\"rotate(-90 " + pixels(axes.left - 24) + " " + pixels(middle) + ")\"");
}

// One scale for both axes, from 0 to the larger of the highest expected and
// the highest observed -log10 p.
QqAxes chooseAxes(const PValuesBySize& bySize, double left, double top, double side) {
    double highest = 1;
    for (const auto& [size, counts] : bySize) {
        if (counts.empty()) continue;
        highest = std::max({highest, minusLog10(counts.begin()->first.p), expectedAt(1, countOf(counts))});
    }
    QqAxes axes{left, top, side, 1, 1};
    axes.step = highest > 8 ? 2 : 1;
    axes.highest = std::ceil(highest / axes.step) * axes.step;
    return axes;
}

// Below the square: the band, then each size's colour and inflation factor.
void drawLegend(SvgDocument& doc, const PValuesBySize& bySize, double left, double y) {
    doc.rect(left, y - 9, 14, 10, std::string("fill=\"") + bandColour + "\"");
    doc.text(left + 20, y, "95 % band of uniform p-values");
    for (const auto& [size, counts] : bySize) {
        const std::optional<double> lambda = inflationFactor(counts);
        if (!lambda) continue;
        y += legendRow;
        doc.line(left, y - 4, left + 14, y - 4, std::string("stroke=\"") + sizeColour(size) + "\" stroke-width=\"3\"");
        doc.text(left + 20, y, windowsOfSize(size) + ": λ = " + inflationText(*lambda));
    }
}

// `p` with all but the 8 leading bits of its mantissa cleared.
double coarse(double p) {
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(p) & ~((std::uint64_t{1} << 44) - 1));
}

}  // namespace

void countPValue(PValueCounts& counts, QqValue value) {
    ++counts[value];
    if (counts.size() <= exactCountLimit) return;
    PValueCounts coarser;
    for (const auto& [kept, count] : counts) coarser[{coarse(kept.p), kept.zero}] += count;
    counts = std::move(coarser);
}

QqValue qqValueOf(double p, std::int32_t replicateCount) {
    if (p > 0) return {p, false};
    return {0.5 / std::max(replicateCount, 1), true};
}

std::optional<double> inflationFactor(const PValueCounts& counts) {
    const std::int64_t n = countOf(counts);
    if (n == 0) return std::nullopt;
    // The middle rank, or the two middle ranks, 1-based; chi-square falls as p grows.
    const std::int64_t lowRank = (n + 1) / 2;
    const std::int64_t highRank = n / 2 + 1;
    double low = 0;
    double high = 0;
    std::int64_t seen = 0;
    for (const auto& [value, count] : counts) {
        if (seen < lowRank && lowRank <= seen + count) low = chiSquareOfP(value.p);
        if (seen < highRank && highRank <= seen + count) {
            high = chiSquareOfP(value.p);
            break;
        }
        seen += count;
    }
    return (low + high) / 2 / chiSquareMedian;
}

PValueCounts pooled(const PValuesBySize& bySize) {
    PValueCounts all;
    for (const auto& [size, counts] : bySize) {
        for (const auto& [value, count] : counts) all[value] += count;
    }
    return all;
}

std::string inflationText(double lambda) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", lambda);
    return text;
}

double qqPanelHeight(double side, std::size_t sizeCount) {
    return side + legendTop + legendRow * static_cast<double>(sizeCount);
}

void drawQqPanel(SvgDocument& doc, const PValuesBySize& bySize, const std::string& statistic, double left, double top,
                 double side) {
    doc.text(left, top - 8, "QQ plot of " + statistic, "font-weight=\"bold\"");
    std::int64_t most = 0;
    for (const auto& [size, counts] : bySize) most = std::max(most, countOf(counts));
    const QqAxes axes = chooseAxes(bySize, left, top, side);
    if (most > 0) drawBand(doc, axes, most);
    doc.line(axes.x(0), axes.y(0), axes.x(axes.highest), axes.y(axes.highest), "stroke=\"#999999\"");
    for (const auto& [size, counts] : bySize) {
        if (!counts.empty()) drawStaircase(doc, axes, counts, sizeColour(size));
    }
    doc.rect(left, top, side, side, "fill=\"none\" stroke=\"#333333\"");
    drawAxes(doc, axes);
    const PValueCounts all = pooled(bySize);
    const std::optional<double> lambda = inflationFactor(all);
    doc.text(left + 8, top + 18,
             lambda ? "λ = " + inflationText(*lambda) + " (" +
                          counted(static_cast<std::size_t>(countOf(all)), "window") + ")"
                    : "no window analysed",
             "font-size=\"13\"");
    drawLegend(doc, bySize, left, top + side + legendTop);
}

}  // namespace triotdt::output
