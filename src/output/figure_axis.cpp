#include "output/figure_axis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "output/figure_style.h"

namespace triotdt::output {
namespace {

constexpr double chromosomeGap = 6;
constexpr std::size_t longestLabel = 24;

// Round values for the ticks of an axis from `low` to `high`: 1, 2 or 5
// times a power of ten, at most ten of them.
double tickStep(double low, double high) {
    const double rough = std::max(high - low, 1e-9) / 10;
    double power = 1;
    while (power * 10 <= rough) power *= 10;
    while (power > rough) power /= 10;
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (power * factor >= rough) return power * factor;
    }
    return power * 10;
}

// Decimals enough to tell ticks `step` apart.
int decimalsOf(double step) {
    int decimals = 0;
    for (double unit = 1; unit > step * 1.0001 && decimals < 9; unit /= 10) ++decimals;
    return decimals;
}

std::string shortened(const std::string& label) {
    return label.size() <= longestLabel ? label : label.substr(0, longestLabel - 3) + "...";
}

// Upright names of loci, left out where they would run into the one before.
void drawNamedLoci(SvgDocument& doc, const FigureScope& scope, const XLayout& layout, double bottom) {
    double lastLabel = -1e9;
    for (const auto& [value, name] : scope.chromosomes.front().namedLoci) {
        const double x = layout.pixel(0, value);
        doc.line(x, bottom, x, bottom + 4, "stroke=\"#333333\"");
        if (x - lastLabel < locusLabelSpacing) continue;
        lastLabel = x;
        doc.text(x + 4, bottom + 8, shortened(name),
                 "text-anchor=\"end\" transform=\"rotate(-90 " + pixels(x + 4) + " " + pixels(bottom + 8) + ")\"");
    }
}

void drawTicks(SvgDocument& doc, const FigureScope& scope, const XLayout& layout, double bottom) {
    const FigureChromosome& c = scope.chromosomes.front();
    const double unit = scope.byPosition ? 1e6 : 1;
    const double step = tickStep(c.first / unit, c.last / unit);
    const int decimals = decimalsOf(step);
    for (double k = std::ceil(c.first / unit / step); k * step <= c.last / unit; ++k) {
        const double x = layout.pixel(0, k * step * unit);
        char label[32];
        std::snprintf(label, sizeof label, "%.*f", decimals, k * step);
        doc.line(x, bottom, x, bottom + 4, "stroke=\"#333333\"");
        doc.text(x, bottom + 16, label, "text-anchor=\"middle\"");
    }
}

// Chromosome names under the middle of each, left out where they would run
// into the one before.
void drawChromosomeNames(SvgDocument& doc, const FigureScope& scope, const XLayout& layout, double bottom) {
    double lastEnd = -1e9;
    for (std::size_t c = 0; c < scope.chromosomes.size(); ++c) {
        const std::string& name = scope.chromosomes[c].name;
        const double middle = (layout.start[c] + layout.end[c]) / 2;
        const double half = static_cast<double>(name.size()) * fontSize * 0.31;
        if (middle - half < lastEnd + 4) continue;
        lastEnd = middle + half;
        doc.text(middle, bottom + 16, name, "text-anchor=\"middle\"");
    }
}

}  // namespace

XLayout makeXLayout(const FigureScope& scope, double left, double right) {
    XLayout layout;
    double total = 0;
    for (const FigureChromosome& c : scope.chromosomes) total += std::max(c.last - c.first, 0.0);
    const double count = static_cast<double>(scope.chromosomes.size());
    const double inner = right - left - 2 * axisPadding - (count - 1) * chromosomeGap;
    double cursor = left + axisPadding;
    for (const FigureChromosome& c : scope.chromosomes) {
        const double span = std::max(c.last - c.first, 0.0);
        const double width = inner * (total > 0 ? span / total : 1 / count);
        layout.first.push_back(c.first);
        layout.scale.push_back(span > 0 ? width / span : 0);
        layout.start.push_back(span > 0 ? cursor : cursor + width / 2);
        layout.end.push_back(span > 0 ? cursor + width : cursor + width / 2);
        cursor += width + chromosomeGap;
    }
    return layout;
}

void drawXAxis(SvgDocument& doc, const FigureScope& scope, const XLayout& layout, double bottom) {
    if (scope.chromosomes.size() > 1) drawChromosomeNames(doc, scope, layout, bottom);
    else if (!scope.chromosomes.front().namedLoci.empty()) drawNamedLoci(doc, scope, layout, bottom);
    else drawTicks(doc, scope, layout, bottom);
}

double xLabelRoom(const FigureScope& scope) {
    if (scope.chromosomes.size() > 1 || scope.chromosomes.front().namedLoci.empty()) return 20;
    std::size_t longest = 0;
    for (const auto& named : scope.chromosomes.front().namedLoci) {
        longest = std::max(longest, shortened(named.second).size());
    }
    return 12 + static_cast<double>(longest) * fontSize * 0.62;
}

std::string xAxisTitle(const FigureScope& scope) {
    if (scope.chromosomes.size() > 1) return "chromosome";
    if (!scope.byPosition) return "locus";
    return "position on chromosome " + scope.chromosomes.front().name + " (Mb)";
}

}  // namespace triotdt::output
