#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "resampling/resampling_rule.h"
#include "shard/shard_plan.h"
#include "statistics/five_statistics.h"
#include "window/window_order.h"

namespace CLI {
class App;
}

namespace triotdt::driver {

// `triotdt` without a command: the analysis of tdtinput.dat in the working
// folder, whole (with the table, the figure and the progress line it asks
// for), one shard of it, or the plan of its shards.
struct AnalysisOptions {
    // Threads for the analysis; 0 means one per core. The reports are the
    // same for any number.
    unsigned threads = 0;
    std::string tablePath;                               // --table; empty when not asked for
    std::string plotPath;                                // --plot
    std::optional<statistics::Statistic> plotStatistic;  // --plot-statistic; none: the figure's default
    std::optional<shard::ShardNumber> shard;             // --shard K/N
    std::string shardFolder;                             // --shard-dir; empty: shard-K-of-N
    std::int32_t shardPlanCount = 0;                     // --shard-plan N; 0 when not asked for
    std::optional<std::uint64_t> seed;                   // --seed N: the counter-based stream
    std::int32_t adaptiveMax = 0;                        // --adaptive MAX; 0 when not asked for
    bool familyWise = false;                             // --family-wise
    window::WindowSizes windowSizes;                     // --window-sizes LIST
};

// The stream and replicates the options ask for.
resampling::ResamplingRule resamplingRule(const AnalysisOptions& options);

// --threads, --table, --plot, --plot-statistic, --window-sizes, --seed,
// --adaptive and --family-wise; then, separately, --shard, --shard-dir and
// --shard-plan.
void addAnalysisOptions(CLI::App& app, AnalysisOptions& options);
void addShardOptions(CLI::App& app, AnalysisOptions& options);

// The rules between the options (a shard writes no table, ...): throws
// CLI::ValidationError for the first that is broken.
void checkAnalysisOptions(const AnalysisOptions& options);

// Runs the analysis the options ask for. Throws io::RunError and
// io::InputRefused as runAnalysis does, and for the table, the figure and
// tdtloci.tsv; UsageError for outputs that are one file; RunInterrupted.
void runAnalysisCommand(const AnalysisOptions& options);

}  // namespace triotdt::driver
