#pragma once

#include <optional>
#include <string>
#include <vector>

#include "statistics/five_statistics.h"

namespace CLI {
class App;
}

namespace triotdt::combine {

// The options of `triotdt combine DIR...`.
struct CombineOptions {
    std::vector<std::string> folders;                    // finished run folders, one per chromosome
    std::string tablePath;                               // --table; empty when not asked for
    std::string plotPath;                                // --plot
    std::optional<statistics::Statistic> plotStatistic;  // --plot-statistic; none: the figure's default
    std::string runTable = "results.tsv";                // --run-table: each run's table, without --family-wise
    // The table goes to standard output, and the console text to standard error.
    bool tableOnStandardOutput = false;
};

// Registers the description and the options on the combine's CLI11 command.
void addCombineOptions(CLI::App& command, CombineOptions& options);

// `triotdt combine`: the genome from the runs of its chromosomes. Each
// folder is a finished run (a whole run or a merge), of one chromosome.
// Runs made with --family-wise are put together through their
// tdtfamilywise.tsv: they must share the stream, seed, R and options, and
// list trios of one pedigree (tdttrios.tsv, which the import writes: the
// same list, or one a chromosome's folder has left trios out of; runs of
// hand-written inputs without one cannot be checked, and the console says
// so), and the
// element-wise deepest of their minima gives genome-wide family-wise
// p-values, never below a window's chromosome-wide one. Runs without it are
// gathered from their results tables (--run-table). Writes, when asked, the
// table of every window of every run with its chromosome (genome_fwer_...
// columns with family-wise p-values) and the genome figure, chromosomes side
// by side; and on the console the runs and, with family-wise p-values, the
// windows significant genome-wide. Refuses, naming the folder, runs that do
// not belong together, some runs with tdtfamilywise.tsv and some without,
// and one chromosome (or folder) twice: InputRefused, and nothing is
// written. Throws RunError when an output exists or cannot be written.
void runCombine(const CombineOptions& options);

}  // namespace triotdt::combine
