#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "familywise/replicate_minima.h"
#include "haplotype/family_data.h"
#include "input/family_input.h"
#include "output/familywise_file.h"
#include "output/loci_table.h"
#include "report/window_lines.h"
#include "resampling/resampling_rule.h"
#include "window/window_order.h"
#include "window/window_result.h"

namespace triotdt::driver {

struct RunOptions {
    // Threads of the pool: windows run side by side on them, and the
    // replicates of a large window are shared out among them; 0 means one
    // per core. The reports are the same for any number.
    unsigned threads = 0;
    // The console lines go to standard error, leaving standard output to the table.
    bool consoleOnStandardError = false;
    // The stream of the replicates; the console says which when it is not the run's.
    resampling::ResamplingRule resampling;
    // The window sizes analysed; the others are left out of the reports.
    window::WindowSizes windowSizes;
    // With family-wise p-values: the run's minima, which every window folds into.
    familywise::ReplicateMinima* minima = nullptr;
};

using WindowObserver = std::function<void(const window::WindowResult&)>;

// tdtloci.tsv beside the input, when it is there, for the marker columns of
// the table and the figure: its text and its rows; empty otherwise. Windows
// must not join chromosomes, so loci of several are refused even when
// neither is asked for, and so are rows that do not describe the loci of
// `input`, when it could be read, or place them on X when `input` has no
// children's sexes (tdtsex.tsv), or elsewhere when it has (io::InputRefused).
struct LociBesideInput {
    std::string text;
    std::vector<output::LocusRow> rows;
};

LociBesideInput readLociBesideInput(const haplotype::FamilyData* input);

// The head of tdtfamilywise.tsv for a run of the input whose counts are in
// `head`, under `rule` (family-wise) with `sizes`: the trio list is that of
// tdttrios.tsv beside the input, "unchecked" without one. Throws
// InputRefused when that list does not have one trio per family.
output::FamilyWiseHead familyWiseHead(const haplotype::FamilyData& head, const resampling::ResamplingRule& rule,
                                      window::WindowSizes sizes);

// Called on the thread of the run just before and just after each write to
// standard output, so that a line drawn on the same terminal can step aside.
// `after` is told whether the last line written is still open (no line end).
struct ConsoleTurn {
    std::function<void()> before;
    std::function<void(bool lineOpen)> after;
};

// Runs the whole analysis in the working folder on the input `read`:
// creates the two new reports, checks the families, analyses every window of
// 1 to 7 consecutive loci (of the sizes asked for) and writes the reports and
// the console lines.
// Throws io::RunError for file and input errors and io::InputRefused for
// input the analysis cannot use. `observer`, when given, sees every window in
// report order, after the console lines of that window have been written;
// `completeOutputs`, when given, runs after the last window and the reports
// are complete, before the stop line; the console lines it returns are
// written before the stop line.
//
// A SIGINT or SIGTERM caught by catchInterruptions() stops the run between
// replicates: both reports keep the windows finished and end with a line that
// says the run was interrupted, the console gets no stop line, and
// RunInterrupted is thrown.
void runAnalysis(const input::InputRead& read, const RunOptions& options = {}, const WindowObserver& observer = {},
                 const ConsoleTurn& turn = {}, const std::function<std::string()>& completeOutputs = {});

// Where the lines of the windows of one size go; called before the first
// window of each size that has windows to analyse.
using UnitsOfSize = std::function<report::ReportUnits(std::int32_t size)>;

// Analyses the windows of `selection`, each with the random draws of its
// place in a whole run, and writes their lines to the units that `unitsOf`
// gives for their size; `turn` is given when the console is standard
// output. `observer`, when given, sees every window in report order. Throws
// RunInterrupted when a caught signal stops it.
void writeWindows(const haplotype::FamilyData& data, const window::WindowSelection& selection,
                  const resampling::ResamplingRule& rule, unsigned threads, const UnitsOfSize& unitsOf,
                  const WindowObserver& observer, const ConsoleTurn* turn = nullptr,
                  familywise::ReplicateMinima* minima = nullptr);

}  // namespace triotdt::driver
