#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "familywise/replicate_minima.h"
#include "io/staged_output.h"
#include "output/familywise_file.h"
#include "output/loci_table.h"
#include "output/results_plot.h"
#include "window/window_result.h"

namespace triotdt::output {

// A window's family-wise p-values need the minima of every window of the
// run, known only after the last. So while the windows end, a family-wise
// run writes each one's row with its reference (haplotypes and observed
// depths, no family-wise p-values yet) to a file of rows: a spill beside
// the reports, or a shard's part of the table. At the end each row is read
// back, given its family-wise p-values, and written to tdtfamilywise.tsv and
// to the table: only one line is held at a time, never every window.

// The windows whose family-wise p-value is at most `alpha`, per statistic,
// as the console gives them at the end of a run: each statistic's 10
// smallest (ties in report order) and how many there are, or the smallest
// of all when none is.
class SignificantWindows {
public:
    explicit SignificantWindows(double alpha = 0.05);

    // The next window, in report order, named `label` ("1301-1303").
    void add(const window::WindowResult& window, const std::string& label);
    std::string lines(std::int32_t replicateCount) const;

private:
    struct Entry {
        double p;
        std::int64_t order;
        std::string label;
    };
    double alpha_;
    std::int64_t analysed_ = 0;
    std::array<std::int64_t, statistics::statisticCount> counts_{};
    std::array<std::vector<Entry>, statistics::statisticCount> smallest_;
    std::array<std::optional<Entry>, statistics::statisticCount> best_;
};

// The loci of a window, as the console names them: "1301-1303".
std::string lociLabel(const window::WindowResult& window);

// Draws the genome-wide line of `figure` where the family-wise p of its
// statistic reaches 0.05 on `minima`: the depth past which a window's
// reference tail has that p (familywise::FamilyWiseScale::criticalDepth).
// Where a window's raw p is close to its reference tail (a SNP, where the
// tail of Pe/2 on one degree of freedom is about the resampled p), that is
// the raw p at which the family-wise p crosses 0.05.
void drawGenomeWideLine(ResultsFigure& figure, const familywise::MinimumTails& minima);

// The end of a family-wise run or merge. `rowFiles`, read in order, hold
// every window's row with its reference, in report order. Writes `head`, the
// `minima` and the rows to `file` (finished, not yet published) and, when
// there is a table, the rows with their family-wise p-values to it (after the
// header it has); hands `significant` each window, and rings in `figure`,
// when there is one, the windows significant genome-wide. `loci` names the
// markers of the rows.
void completeFamilyWise(const FamilyWiseHead& head, const familywise::MinimumTails& minima,
                        const std::vector<std::string>& rowFiles, const std::vector<LocusRow>& loci,
                        io::StagedOutput& file, io::StagedOutput* table, SignificantWindows& significant,
                        ResultsFigure* figure);

}  // namespace triotdt::output
