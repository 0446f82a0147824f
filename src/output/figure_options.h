#pragma once

#include <optional>
#include <string>

#include "statistics/five_statistics.h"

namespace CLI {
class App;
}

namespace triotdt::output {

// Registers --plot FILE.svg (with `plotHelp`) and --plot-statistic NAME on
// `command`: every command that draws the figure (a run, a merge, combine)
// takes them alike, with the same checks of the name and the statistic.
void addFigureOptions(CLI::App& command, std::string& plotPath, std::optional<statistics::Statistic>& statistic,
                      const std::string& plotHelp);

}  // namespace triotdt::output
