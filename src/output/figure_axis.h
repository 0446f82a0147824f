#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "output/results_plot.h"
#include "output/svg_document.h"

namespace triotdt::output {

// The x axis of the figure: where the chromosomes of a scope lie across the
// panels, from pixel `left` to pixel `right`, and what is written under them.

// Upright locus names need this many pixels between neighbours.
inline constexpr double locusLabelSpacing = 13;
// Pixels between the frame and the outermost loci.
inline constexpr double axisPadding = 12;

struct XLayout {
    std::vector<double> first;  // x of each chromosome's first locus
    std::vector<double> start;  // its pixel
    std::vector<double> scale;  // pixels per unit of x
    std::vector<double> end;    // the pixel of its last locus

    double pixel(std::size_t chromosome, double x) const {
        return start[chromosome] + (x - first[chromosome]) * scale[chromosome];
    }
    double pixel(const WindowPlace& place) const { return pixel(place.chromosome, place.first / 2 + place.last / 2); }
};

// Each chromosome as wide as its share of the loci's extent; a chromosome of
// one locus is a point.
XLayout makeXLayout(const FigureScope& scope, double left, double right);

// Under the bottom panel: chromosome names for several, else the loci's
// names when the scope names them, else ticks of round values (Mb, or
// locus numbers).
void drawXAxis(SvgDocument& doc, const FigureScope& scope, const XLayout& layout, double bottom);

// The room the labels of drawXAxis take under the bottom panel.
double xLabelRoom(const FigureScope& scope);

std::string xAxisTitle(const FigureScope& scope);

}  // namespace triotdt::output
