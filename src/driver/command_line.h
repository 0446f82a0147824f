#pragma once

#include <iosfwd>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "combine/combine_command.h"
#include "driver/analysis_command.h"
#include "import/import_command.h"
#include "shard/merge_command.h"

namespace triotdt::driver {

// What the program is asked to do: the analysis (whole or a shard), `triotdt
// import`, `triotdt merge` or `triotdt combine`.
enum class Command { analyse, import, merge, combine };

// Each command has its options and usage in its own file: the analysis in
// driver/analysis_command.h, the import in import/import_command.h, the
// merge in shard/merge_command.h, the combine in combine/combine_command.h.
struct CommandLine {
    Command command = Command::analyse;
    std::string folder;  // -C: changed into before any file is opened; empty: stay
    AnalysisOptions analysis;
    import::ImportOptions import;
    shard::MergeOptions merge;
    combine::CombineOptions combine;
};

// The outcome of parsing: the command line to run, or, when parsing settled
// the run by itself (help, version, a usage error), the exit status: 0 after
// help or version, 2 after a usage error. The texts go to `out` and `err`.
struct ParsedCommandLine {
    std::optional<CommandLine> line;
    int exitStatus = 0;
};

// A command line that contradicts itself in a way seen only once its paths
// are resolved (two outputs that are one file). Ends the run with status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "triotdt: <what>\nRun 'triotdt --help' for the options.\n", as every usage error.
std::string describeUsageError(const UsageError& error);

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace triotdt::driver
