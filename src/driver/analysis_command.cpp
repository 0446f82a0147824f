#include "driver/analysis_command.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <charconv>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "driver/analysis.h"
#include "driver/output_paths.h"
#include "driver/progress.h"
#include "driver/shard_run.h"
#include "io/run_error.h"
#include "io/staged_output.h"
#include "output/familywise_outputs.h"
#include "output/figure_options.h"
#include "output/results_plot.h"
#include "output/results_table.h"

namespace triotdt::driver {
namespace {

constexpr unsigned maxThreads = 1024;

// Validators with no description of their own: the option's type name says it.
const CLI::Validator threadCount(
    [](const std::string& text) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        const bool whole = error == std::errc() && end == text.data() + text.size();
        return whole && value <= maxThreads
                   ? std::string()
                   : "'" + text + "' is not a number of threads from 0 (every core) to " + std::to_string(maxThreads);
    },
    "");

const CLI::Validator seedNumber(
    [](const std::string& text) {
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        return error == std::errc() && end == text.data() + text.size()
                   ? std::string()
                   : "'" + text + "' is not a seed, a whole number from 0 to 18446744073709551615";
    },
    "");

const CLI::Validator windowSizes(
    [](const std::string& text) {
        return window::WindowSizes::parse(text) ? std::string()
                                                : "'" + text +
                                                      "' is not a list of window sizes from 1 to 7 (such as 1, 1-3 "
                                                      "or 1,3,5)";
    },
    "");

const CLI::Validator shardNumber(
    [](const std::string& text) {
        return shard::parseShardNumber(text)
                   ? std::string()
                   : "'" + text +
                         "' is not K/N, shard K of N, with 1 <= K <= N <= " + std::to_string(shard::maxShardCount);
    },
    "");

const CLI::Validator shardCount(
    [](const std::string& text) {
        return shard::parseShardNumber("1/" + text)
                   ? std::string()
                   : "'" + text + "' is not a number of shards from 1 to " + std::to_string(shard::maxShardCount);
    },
    "");

// With family-wise p-values: the run's minima, tdtfamilywise.tsv and the
// windows' rows until the minima are complete (familywise_outputs.h).
struct FamilyWiseRun {
    FamilyWiseRun(output::FamilyWiseHead head)
        : head(std::move(head)),
          minima(this->head.replicateCount),
          file(io::StagedOutput::beside(output::familyWiseFileName, "\n")),
          rows(io::StagedOutput::beside(std::string(output::familyWiseFileName) + ".windows", "\n")) {}

    output::FamilyWiseHead head;
    familywise::ReplicateMinima minima;
    io::StagedOutput file;
    io::StagedOutput rows;  // never published: removed at the end
};

// The table is written row by row as windows end (at the end with
// family-wise p-values); the figure takes each window as it ends and is
// drawn at the end. Both are created before the reports and take their
// names only when the run is complete.
struct ExtraOutputs {
    std::vector<output::LocusRow> loci;
    resampling::ResamplingRule rule;
    std::optional<io::StagedOutput> table;
    std::optional<io::StagedOutput> plot;
    std::optional<output::ResultsFigure> figure;
    std::unique_ptr<FamilyWiseRun> familyWise;
    bool tableHeaderWritten = false;

    void writeTableHeader() {
        if (!table || tableHeaderWritten) return;
        output::appendTableHeader(table->unit().text(), rule);
        tableHeaderWritten = true;
    }
    void add(const window::WindowResult& window) {
        if (familyWise) {
            output::appendTableRow(familyWise->rows.unit().text(), window, loci, rule, true);
            familyWise->rows.unit().flushIfLarge();
        } else if (table) {
            writeTableHeader();
            output::appendTableRow(table->unit().text(), window, loci, rule);
            table->unit().flush();
        }
        if (figure) figure->add(window, output::runWindowPlace(window, loci, figure->scope()));
    }
    // Returns the console lines of the figure's inflation factor, which a
    // run without the figure does not print, and of the family-wise p-values.
    std::string publish() {
        writeTableHeader();
        std::string console = figure ? output::inflationLine(*figure) : std::string();
        if (familyWise) {
            familyWise->rows.unit().finish();
            output::SignificantWindows significant;
            const familywise::MinimumTails minima = familyWise->minima.minima();
            if (figure) output::drawGenomeWideLine(*figure, minima);
            output::completeFamilyWise(familyWise->head, minima, {familyWise->rows.temporaryPath()}, loci,
                                       familyWise->file, table ? &*table : nullptr, significant,
                                       figure ? &*figure : nullptr);
            console += significant.lines(familyWise->head.replicateCount);
        }
        output::completeTableAndFigure(table, plot, figure ? &*figure : nullptr,
                                       familyWise ? &familyWise->file : nullptr);
        return console;
    }
};

ExtraOutputs createExtraOutputs(const AnalysisOptions& options, std::vector<output::LocusRow> loci,
                                const haplotype::FamilyData* input) {
    const std::int32_t lociCount = input ? input->lociCount : 0;
    ExtraOutputs outputs{std::move(loci), resamplingRule(options), {}, {}, {}, {}, false};
    if (options.familyWise && input) {
        outputs.familyWise = std::make_unique<FamilyWiseRun>(familyWiseHead(*input, outputs.rule, options.windowSizes));
    }
    if (!options.tablePath.empty()) {
        outputs.table.emplace(namesStandardOutput(options.tablePath)
                                  ? io::StagedOutput::standardOutput()
                                  : io::StagedOutput::beside(options.tablePath, "\n"));
    }
    if (!options.plotPath.empty()) {
        outputs.plot.emplace(io::StagedOutput::beside(options.plotPath, "\n"));
        outputs.figure.emplace(output::runFigureScope(outputs.loci, lociCount,
                                                      options.plotStatistic.value_or(output::defaultPlotStatistic)));
    }
    return outputs;
}

// The whole analysis, with the table, the figure and the progress line.
void runWholeAnalysis(const AnalysisOptions& command) {
    checkOutputPaths(command.tablePath, command.plotPath);
    if (command.familyWise && ::access(output::familyWiseFileName, F_OK) == 0) {
        throw io::RunError(io::ErrorCode::fileExists, std::string("OPEN of file '") + output::familyWiseFileName + "'",
                           "file already exists");
    }
    const bool extras = !command.tablePath.empty() || !command.plotPath.empty() || command.familyWise;
    RunOptions options;
    options.threads = command.threads;
    options.resampling = resamplingRule(command);
    options.windowSizes = command.windowSizes;
    options.consoleOnStandardError = !command.tablePath.empty() && namesStandardOutput(command.tablePath);
    // The console lines then share standard error with the progress line: it is left out.
    const std::optional<ProgressTerminal> terminal = options.consoleOnStandardError ? std::nullopt : progressTerminal();
    // Read once: the same families go to the loci check, the progress line
    // and the analysis.
    const input::InputRead read = input::readInput();

    const std::int32_t lociCount = read.data ? read.data->lociCount : 0;
    const haplotype::FamilyData* input = read.data ? &*read.data : nullptr;
    ExtraOutputs outputs = createExtraOutputs(command, readLociBesideInput(input).rows, input);
    if (outputs.familyWise) options.minima = &outputs.familyWise->minima;
    std::optional<ProgressLine> progress;
    if (terminal) {
        progress.emplace(*terminal, window::countWindows(window::everyWindow(lociCount, command.windowSizes).spans));
    }

    // The progress line is erased before the figure and the stop line.
    ConsoleTurn turn;
    turn.before = [&] {
        if (progress) progress->stepAside();
    };
    turn.after = [&](bool lineOpen) {
        if (progress) progress->comeBack(lineOpen);
    };
    runAnalysis(
        read, options,
        [&](const window::WindowResult& window) {
            if (extras) outputs.add(window);
            if (progress) progress->windowDone(window);
        },
        turn,
        [&] {
            progress.reset();
            return outputs.publish();
        });
}

}  // namespace

void addAnalysisOptions(CLI::App& app, AnalysisOptions& options) {
    app.add_option(
           "--threads", options.threads,
           "Threads for the analysis (windows side by side, replicates of large windows shared out); 0, the default, means one per core")
        ->type_name("N")
        ->check(threadCount);
    app.add_option("--table", options.tablePath,
                   "Also write the results as a tab-separated table ('-': standard output)")
        ->type_name("FILE");
    output::addFigureOptions(app, options.plotPath, options.plotStatistic, "Also draw the p-values as an SVG figure");
    app.add_option_function<std::string>(
           "--window-sizes",
           [&options](const std::string& text) { options.windowSizes = *window::WindowSizes::parse(text); },
           "Analyse only the windows of these sizes (such as 1, 1-3 or 1,3,5); each keeps the p-values of a full run")
        ->type_name("LIST")
        ->check(windowSizes);
    app.add_option(
           "--seed", options.seed,
           "Exchange the families by the counter-based stream (Philox4x32-10) under seed N instead of the run's stream")
        ->type_name("N")
        ->check(seedNumber);
    app.add_flag("--family-wise", options.familyWise,
                 "Also family-wise p-values over every window analysed (single-step maxT on chi-square reference "
                 "tails, from the first replicates of each; with the counter-based stream)");
    app.add_option("--adaptive", options.adaptiveMax,
                   "Adaptive replicates: the input's count first, then doubled in each window until every statistic "
                   "has 20 exceedances, at most MAX (with the counter-based stream)")
        ->type_name("MAX")
        ->check(CLI::Range(1, std::numeric_limits<std::int32_t>::max()));
}

resampling::ResamplingRule resamplingRule(const AnalysisOptions& options) {
    resampling::ResamplingRule rule{options.seed, options.adaptiveMax, options.familyWise};
    if ((rule.adaptive() || rule.familyWise) && !rule.seed) rule.seed = resampling::defaultSeed;
    return rule;
}

void addShardOptions(CLI::App& app, AnalysisOptions& options) {
    app.add_option_function<std::string>(
           "--shard", [&options](const std::string& text) { options.shard = shard::parseShardNumber(text); },
           "Analyse only shard K of N (windows by first locus) and write its parts into shard-K-of-N/")
        ->type_name("K/N")
        ->check(shardNumber);
    app.add_option("--shard-dir", options.shardFolder, "With --shard: write the parts into DIR instead")
        ->type_name("DIR");
    app.add_option("--shard-plan", options.shardPlanCount,
                   "Print the loci, windows, work and memory of each of N shards, and exit")
        ->type_name("N")
        ->check(shardCount);
}

void checkAnalysisOptions(const AnalysisOptions& options) {
    if (options.plotStatistic && options.plotPath.empty()) {
        throw CLI::ValidationError("--plot-statistic", "it chooses the statistic of the figure: it needs --plot");
    }
    if (options.shard && (!options.tablePath.empty() || !options.plotPath.empty())) {
        throw CLI::ValidationError("--table and --plot",
                                   "the table and the figure of a sharded run are written by "
                                   "'triotdt merge'");
    }
    if (!options.shardFolder.empty() && !options.shard) throw CLI::ValidationError("--shard-dir", "it needs --shard");
    if (options.shardPlanCount > 0 && (options.shard || !options.tablePath.empty() || !options.plotPath.empty())) {
        throw CLI::ValidationError("--shard-plan", "it only prints the plan: no --shard, --table or --plot");
    }
}

void runAnalysisCommand(const AnalysisOptions& options) {
    if (options.shardPlanCount > 0) {
        printShardPlan(options.shardPlanCount, options.windowSizes, resamplingRule(options), std::cout, std::cerr);
    } else if (options.shard) {
        runShard(ShardOptions{*options.shard, options.shardFolder, options.threads, options.windowSizes,
                              resamplingRule(options)},
                 std::cout);
    } else {
        runWholeAnalysis(options);
    }
}

}  // namespace triotdt::driver
