#pragma once

#include <optional>
#include <string>
#include <vector>

#include "statistics/five_statistics.h"

namespace CLI {
class App;
}

namespace triotdt::shard {

// The options of `triotdt merge DIR...`.
struct MergeOptions {
    std::vector<std::string> folders;                    // one per shard, in any order
    std::string tablePath;                               // --table; empty when not asked for
    std::string plotPath;                                // --plot
    std::optional<statistics::Statistic> plotStatistic;  // --plot-statistic; none: the figure's default
    // The table goes to standard output, and the console text to standard error.
    bool tableOnStandardOutput = false;
};

// Registers the description and the options on the merge's CLI11 command.
void addMergeOptions(CLI::App& command, MergeOptions& options);

// `triotdt merge`: puts the parts of the shards of one run together into
// tdttran.txt and tdtout.txt in the working folder, the console text on
// standard output and, when asked, the table and the figure, byte for byte
// as a whole run writes them. Every manifest and part is checked first: the
// shards must belong to one input, one shard count and this version of the
// program, cover every window exactly once, and have every part whole;
// otherwise InputRefused names the shard, and nothing is written. Throws
// RunError when an output exists already or cannot be written; the table and
// the figure are written under temporary names and take theirs at the end.
// A signal caught by driver::catchInterruptions() stops it between the parts
// of its shards: both reports end with the run's *INTERRUPTED* line, and
// driver::RunInterrupted is thrown.
void runMerge(const MergeOptions& options);

}  // namespace triotdt::shard
