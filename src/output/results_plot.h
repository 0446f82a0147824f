#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/staged_output.h"
#include "output/loci_table.h"
#include "window/window_result.h"

namespace triotdt::output {

// The figure of a run as one self-contained SVG document, built from the
// windows as they come, in memory bounded by the drawing grid rather than
// by the number of windows: a panel per window size, -log10 p of the five
// statistics (one colour each) as points against the window's centre,
// dashed lines at p = 0.05 and at the Bonferroni threshold 0.05 / (windows
// analysed), and a legend. Few windows are joined by lines; many are thinned
// to what can be seen (figure_marks.h). The x axis is the base-pair position
// when `loci` gives increasing positions on one chromosome, the locus number
// otherwise; loci are labelled with their marker names (locus numbers
// without names) where the labels fit. A p-value of 0 has no finite -log10:
// it is drawn as a triangle at p = 1 / (2 × replicates), the smallest
// p-value above 0 the replicates give (a tie counts one half).
class ResultsFigure {
public:
    // The loci of tdtloci.tsv (none without it) and the input's locus count
    // fix the x axis before the first window.
    ResultsFigure(const std::vector<LocusRow>& loci, std::int32_t lociCount);
    ResultsFigure(ResultsFigure&&) noexcept;
    ResultsFigure& operator=(ResultsFigure&&) noexcept;
    ~ResultsFigure();

    // The next window, in report order. A skipped window is not drawn: the
    // lines break there.
    void add(const window::WindowResult& window);

    std::string draw() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Why `path` cannot name the figure, which is SVG: it must end in .svg, in
// any case; empty when it can.
std::string figurePathProblem(const std::string& path);

// Writes the table's last bytes and the figure, both in full, and only then
// gives each its name, so that neither can pass for complete while the
// other failed.
void completeTableAndFigure(std::optional<io::StagedOutput>& table, std::optional<io::StagedOutput>& figure,
                            const ResultsFigure* drawn);

}  // namespace triotdt::output
