#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "io/staged_output.h"
#include "output/loci_table.h"
#include "window/window_result.h"

namespace triotdt::output {

// The figure of a whole run as one self-contained SVG document: a panel per
// window size, -log10 p of the five statistics (one colour each) against the
// window's centre, dashed lines at p = 0.05 and at the Bonferroni threshold
// 0.05 / (windows analysed), and a legend. The x axis is the base-pair
// position when `loci` gives increasing positions on one chromosome, the
// locus number otherwise; loci are labelled with their marker names (locus
// numbers without names) where the labels fit. A p-value of 0 has no finite
// -log10: it is drawn as a triangle at p = 1 / (2 × replicates), the smallest
// p-value above 0 the replicates give (a tie counts one half). Skipped
// windows are left out.
std::string drawResultsPlot(std::span<const window::WindowResult> windows, const std::vector<LocusRow>& loci);

// Why `path` cannot name the figure, which is SVG: it must end in .svg, in
// any case; empty when it can.
std::string figurePathProblem(const std::string& path);

// Writes the table's last bytes and the figure of `windows`, both in full,
// and only then gives each its name, so that neither can pass for complete
// while the other failed.
void completeTableAndFigure(std::optional<io::StagedOutput>& table, std::optional<io::StagedOutput>& figure,
                            std::span<const window::WindowResult> windows, const std::vector<LocusRow>& loci);

}  // namespace triotdt::output
