#include "driver/run_command.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>
#include <vector>

#include "driver/family_input.h"
#include "driver/progress.h"
#include "output/loci_table.h"
#include "io/file_names.h"
#include "io/output_unit.h"
#include "output/results_plot.h"
#include "output/results_table.h"
#include "io/run_error.h"
#include "io/text_reader.h"

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

// A file the run would create must not exist yet; checked before the reports
// are created, so that a clash leaves nothing behind in the common case (the
// creation itself still refuses to overwrite).
void refuseExisting(const std::string& path) {
    if (!path.empty() && ::access(path.c_str(), F_OK) == 0) {
        throw io::RunError(io::ErrorCode::fileExists, "OPEN of file '" + path + "'", "file already exists");
    }
}

void checkLociMatchInput(const std::vector<output::LocusRow>& loci, const haplotype::FamilyData& data) {
    const std::string prefix = std::string(output::lociFileName) + " does not describe the loci of " + inputFileName + ": ";
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

// Marker names and positions for the table and the figure, when tdtloci.tsv
// lies beside the input.
std::vector<output::LocusRow> readLociBesideInput(const std::optional<haplotype::FamilyData>& input) {
    if (::access(output::lociFileName, F_OK) != 0) return {};
    std::vector<output::LocusRow> loci = output::readLociTable(output::lociFileName);
    if (input) checkLociMatchInput(loci, *input);
    return loci;
}

// The table is written row by row as windows end, the figure once at the end.
struct ExtraOutputs {
    const CommandLine& line;
    std::vector<output::LocusRow> loci;
    std::optional<io::OutputUnit> table;
    std::vector<WindowOutcome> windows;

    void openTable() {
        if (line.tablePath.empty() || table) return;
        table.emplace(io::OutputUnit::createNew(line.tablePath, "\n"));
        output::appendTableHeader(table->text());
    }
    void add(const WindowOutcome& window) {
        if (!line.tablePath.empty()) {
            openTable();
            output::appendTableRow(table->text(), window, loci);
            table->flush();
        }
        if (!line.plotPath.empty()) windows.push_back(window);
    }
    void finish() {
        openTable();
        if (table) table->finish();
        if (line.plotPath.empty()) return;
        io::OutputUnit plot = io::OutputUnit::createNew(line.plotPath, "\n");
        plot.text() = output::drawResultsPlot(windows, loci);
        plot.finish();
    }
};

void runAnalysisCommand(const CommandLine& line) {
    const bool extras = !line.tablePath.empty() || !line.plotPath.empty();
    refuseExisting(line.tablePath);
    refuseExisting(line.plotPath);
    const std::optional<ProgressTerminal> terminal = progressTerminal();
    // Read once: the same families go to the loci check, the progress line
    // and the analysis.
    const InputRead input = readInput();

    ExtraOutputs outputs{line, extras ? readLociBesideInput(input.data) : std::vector<output::LocusRow>{}, {}, {}};
    std::optional<ProgressLine> progress;
    if (terminal) progress.emplace(*terminal, input.data ? countWindows(input.data->lociCount) : 0);

    ConsoleTurn turn;
    if (progress) {
        turn.before = [&] { progress->stepAside(); };
        turn.after = [&](bool lineOpen) { progress->comeBack(lineOpen); };
    }
    runAnalysis(
        input, line.run,
        [&](const WindowOutcome& window) {
            if (extras) outputs.add(window);
            if (progress) progress->windowDone(window);
        },
        turn);
    progress.reset();
    if (extras) outputs.finish();
}

}  // namespace

int runCommand(const CommandLine& line) {
    changeFolder(line.folder);
    switch (line.command) {
        case Command::import:
            return import::runImport(line.importOptions);
        case Command::analyse:
            break;
    }
    runAnalysisCommand(line);
    return 0;
}

}  // namespace triotdt::driver
