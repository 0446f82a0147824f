#include "output/figure_options.h"

#include <CLI/CLI.hpp>

#include "output/results_plot.h"

namespace triotdt::output {

void addFigureOptions(CLI::App& command, std::string& plotPath, std::optional<statistics::Statistic>& statistic,
                      const std::string& plotHelp) {
    command.add_option("--plot", plotPath, plotHelp)
        ->type_name("FILE.svg")
        ->check(CLI::Validator(figurePathProblem, ""));
    command
        .add_option_function<std::string>(
            "--plot-statistic", [&statistic](const std::string& name) { statistic = statisticNamed(name); },
            "The statistic the figure draws: Punamb, Pg, Pe, Pc or Pem (the default)")
        ->type_name("NAME")
        ->check(CLI::Validator(plotStatisticProblem, ""));
}

}  // namespace triotdt::output
