#pragma once

#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "output/svg_document.h"

namespace triotdt::output {

// A p-value as the QQ plot ranks it: a p of 0 stands at the smallest p above
// 0 of its replicates, 1/(2R), ranked below a p equal to that.
struct QqValue {
    double p = 0;
    bool zero = false;

    friend auto operator<=>(const QqValue& a, const QqValue& b) {
        if (a.p != b.p) return a.p < b.p ? std::strong_ordering::less : std::strong_ordering::greater;
        return b.zero <=> a.zero;
    }
    friend bool operator==(const QqValue&, const QqValue&) = default;
};

// How many windows have each p-value. Resampling gives at most 3R + 1
// p-values for R replicates (counts of halves over R), so this stays small
// however many windows there are.
using PValueCounts = std::map<QqValue, std::int64_t>;

// Counts one window's p-value. Should one size's distinct p-values grow past
// 16,384 (windows of many replicates each, or of replicates that differ
// from window to window), they are counted from then on to 8 significant
// bits (within 0.4 %, a tenth of a pixel at most): the counts stay bounded.
void countPValue(PValueCounts& counts, QqValue value);

// The p-values of a figure's windows, by window size.
using PValuesBySize = std::map<std::int32_t, PValueCounts>;

QqValue qqValueOf(double p, std::int32_t replicateCount);

// The genomic inflation factor of the p-values: the median of their
// chi-square (one degree of freedom) values over that of the distribution,
// 0.455; above 1, the p-values are smaller than chance gives. None without
// p-values.
std::optional<double> inflationFactor(const PValueCounts& counts);

// The p-values of every size together.
PValueCounts pooled(const PValuesBySize& bySize);

// "1.012": the factor as the figure and the console print it.
std::string inflationText(double lambda);

// The QQ panel: for each window size, in its colour, the observed -log10 p
// of its windows against the expected, -log10((rank - 1/2) / n), as a
// staircase (windows of one p-value share a height), over the band in which
// 95 % of the windows of uniform p-values would stand; the diagonal; and the
// inflation factor of all windows and of each size. The square of side
// `side` has its top left corner at (left, top); the legend of the sizes
// runs below it.
void drawQqPanel(SvgDocument& doc, const PValuesBySize& bySize, const std::string& statistic, double left, double top,
                 double side);

// How far below its top the QQ panel of a square of `side` and its legend
// of `sizeCount` window sizes reach.
double qqPanelHeight(double side, std::size_t sizeCount);

}  // namespace triotdt::output
