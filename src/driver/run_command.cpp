#include "driver/run_command.h"

#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <vector>

#include "driver/interruption.h"
#include "driver/output_paths.h"
#include "driver/progress.h"
#include "driver/shard_run.h"
#include "input/family_input.h"
#include "io/file_names.h"
#include "io/output_unit.h"
#include "io/run_error.h"
#include "io/staged_output.h"
#include "io/text_reader.h"
#include "output/loci_table.h"
#include "output/results_plot.h"
#include "output/results_table.h"
#include "shard/merge_command.h"

namespace triotdt::driver {
namespace {

using io::inputFileName;

void changeFolder(const std::string& folder) {
    if (folder.empty()) return;
    if (::chdir(folder.c_str()) != 0) {
        throw io::RunError(io::ErrorCode::openFailed, "CHANGE into folder '" + folder + "' (-C)",
                           std::string("cannot change into it: ") + std::strerror(errno));
    }
}

}  // namespace

void checkLociMatchInput(const std::vector<output::LocusRow>& loci, const haplotype::FamilyData& data) {
    const std::string prefix =
        std::string(output::lociFileName) + " does not describe the loci of " + inputFileName + ": ";
    if (loci.size() != static_cast<std::size_t>(std::max(data.lociCount, 0))) {
        throw io::InputRefused(prefix + "it lists " + std::to_string(loci.size()) + " loci, the input has " +
                               std::to_string(data.lociCount) + "\n");
    }
    for (std::size_t l = 0; l < loci.size(); ++l) {
        if (loci[l].alleles.size() != static_cast<std::size_t>(data.alleleCount[l])) {
            throw io::InputRefused(prefix + "locus " + std::to_string(l + 1) + " (" + loci[l].marker + ") has " +
                                   std::to_string(loci[l].alleles.size()) + " allele labels, the input " +
                                   std::to_string(data.alleleCount[l]) + " alleles\n");
        }
    }
}

namespace {

// Marker names and positions for the table and the figure, when tdtloci.tsv
// lies beside the input. Windows must not join chromosomes, so loci of
// several are refused even when neither is asked for.
std::vector<output::LocusRow> readLociBesideInput(const std::optional<haplotype::FamilyData>& input) {
    if (::access(output::lociFileName, F_OK) != 0) return {};
    std::vector<output::LocusRow> loci = output::readLociTable(output::lociFileName);
    output::refuseSeveralChromosomes(loci, output::lociFileName);
    if (input) checkLociMatchInput(loci, *input);
    return loci;
}

// The table is written row by row as windows end, the figure once at the
// end; both are created before the reports and take their names only when
// the run is complete.
struct ExtraOutputs {
    std::vector<output::LocusRow> loci;
    std::optional<io::StagedOutput> table;
    std::optional<io::StagedOutput> plot;
    bool tableHeaderWritten = false;
    std::vector<window::WindowResult> windows;  // without their tables

    void writeTableHeader() {
        if (!table || tableHeaderWritten) return;
        output::appendTableHeader(table->unit().text());
        tableHeaderWritten = true;
    }
    void add(const window::WindowResult& window) {
        if (table) {
            writeTableHeader();
            output::appendTableRow(table->unit().text(), window, loci);
            table->unit().flush();
        }
        if (plot) windows.push_back(window::withoutTables(window));
    }
    void publish() {
        writeTableHeader();
        output::completeTableAndFigure(table, plot, windows, loci);
    }
};

ExtraOutputs createExtraOutputs(const CommandLine& line, std::vector<output::LocusRow> loci) {
    ExtraOutputs outputs{std::move(loci), {}, {}, false, {}};
    if (!line.tablePath.empty()) {
        outputs.table.emplace(namesStandardOutput(line.tablePath) ? io::StagedOutput::standardOutput()
                                                                  : io::StagedOutput::beside(line.tablePath, "\n"));
    }
    if (!line.plotPath.empty()) outputs.plot.emplace(io::StagedOutput::beside(line.plotPath, "\n"));
    return outputs;
}

void runAnalysisCommand(const CommandLine& line) {
    catchInterruptions();
    checkOutputPaths(line.tablePath, line.plotPath);
    const bool extras = !line.tablePath.empty() || !line.plotPath.empty();
    RunOptions options = line.run;
    options.consoleOnStandardError = !line.tablePath.empty() && namesStandardOutput(line.tablePath);
    // The console lines then share standard error with the progress line: it is left out.
    const std::optional<ProgressTerminal> terminal = options.consoleOnStandardError ? std::nullopt : progressTerminal();
    // Read once: the same families go to the loci check, the progress line
    // and the analysis.
    const input::InputRead read = input::readInput();

    ExtraOutputs outputs = createExtraOutputs(line, readLociBesideInput(read.data));
    std::optional<ProgressLine> progress;
    if (terminal) {
        const std::int32_t lociCount = read.data ? read.data->lociCount : 0;
        progress.emplace(*terminal, window::countWindows(window::everyWindow(lociCount).spans));
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
            outputs.publish();
        });
}

}  // namespace

int runCommand(const CommandLine& line) {
    changeFolder(line.folder);
    switch (line.command) {
        case Command::import:
            return import::runImport(line.importOptions);
        case Command::merge:
            checkOutputPaths(line.tablePath, line.plotPath);
            shard::runMerge(shard::MergeOptions{line.mergeFolders, line.tablePath, line.plotPath,
                                                !line.tablePath.empty() && namesStandardOutput(line.tablePath)});
            return 0;
        case Command::analyse:
            break;
    }
    if (line.shardPlanCount > 0) {
        printShardPlan(line.shardPlanCount, std::cout);
    } else if (line.shard) {
        runShard(ShardOptions{*line.shard, line.shardFolder, line.run.threads}, std::cout);
    } else {
        runAnalysisCommand(line);
    }
    return 0;
}

}  // namespace triotdt::driver
