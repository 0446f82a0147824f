#include "driver/run_command.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>
#include <vector>

#include "driver/family_input.h"
#include "driver/interruption.h"
#include "driver/output_paths.h"
#include "driver/progress.h"
#include "report/loci_table.h"
#include "report/output_unit.h"
#include "report/results_plot.h"
#include "report/results_table.h"
#include "report/run_error.h"
#include "report/staged_output.h"
#include "report/text_reader.h"

namespace triotdt::driver {
namespace {

constexpr const char* inputName = "tdtinput.dat";

void changeFolder(const std::string& folder) {
    if (folder.empty()) return;
    if (::chdir(folder.c_str()) != 0) {
        throw report::RunError(report::ErrorCode::openFailed, "CHANGE into folder '" + folder + "' (-C)",
                               std::string("cannot change into it: ") + std::strerror(errno));
    }
}

// The input as the analysis will read it, for the number of windows and to
// check tdtloci.tsv against; nothing when it cannot be read (the analysis
// then reports why).
std::optional<haplotype::FamilyData> peekInput() {
    int fd = -1;
    try {
        fd = report::openExisting(inputName);
        report::TextReader reader(fd, inputName);
        haplotype::FamilyData data = readFamilyData(reader);
        ::close(fd);
        return data;
    } catch (const report::RunError&) {
        if (fd >= 0) ::close(fd);
        return std::nullopt;
    }
}

void checkLociMatchInput(const std::vector<report::LocusRow>& loci, const haplotype::FamilyData& data) {
    const std::string prefix = std::string(report::lociFileName) + " does not describe the loci of " + inputName + ": ";
    if (loci.size() != static_cast<std::size_t>(std::max(data.lociCount, 0))) {
        throw report::InputRefused(prefix + "it lists " + std::to_string(loci.size()) + " loci, the input has " +
                                   std::to_string(data.lociCount) + "\n");
    }
    for (std::size_t l = 0; l < loci.size(); ++l) {
        if (loci[l].alleles.size() != static_cast<std::size_t>(data.alleleCount[l])) {
            throw report::InputRefused(prefix + "locus " + std::to_string(l + 1) + " (" + loci[l].marker + ") has " +
                                       std::to_string(loci[l].alleles.size()) + " allele labels, the input " +
                                       std::to_string(data.alleleCount[l]) + " alleles\n");
        }
    }
}

bool lociBesideInput() { return ::access(report::lociFileName, F_OK) == 0; }

// Marker names and positions for the table and the figure, when tdtloci.tsv
// lies beside the input. Windows must not join chromosomes, so loci of
// several are refused even when neither is asked for.
std::vector<report::LocusRow> readLociBesideInput(const std::optional<haplotype::FamilyData>& input) {
    if (!lociBesideInput()) return {};
    std::vector<report::LocusRow> loci = report::readLociTable(report::lociFileName);
    report::refuseSeveralChromosomes(loci, report::lociFileName);
    if (input) checkLociMatchInput(loci, *input);
    return loci;
}

// The table is written row by row as windows end, the figure once at the
// end; both are created before the reports and take their names only when
// the run is complete.
struct ExtraOutputs {
    std::vector<report::LocusRow> loci;
    std::optional<report::StagedOutput> table;
    std::optional<report::StagedOutput> plot;
    bool tableHeaderWritten = false;
    std::vector<WindowOutcome> windows;

    void writeTableHeader() {
        if (!table || tableHeaderWritten) return;
        report::appendTableHeader(table->unit().text());
        tableHeaderWritten = true;
    }
    void add(const WindowOutcome& window) {
        if (table) {
            writeTableHeader();
            report::appendTableRow(table->unit().text(), window, loci);
            table->unit().flush();
        }
        if (plot) windows.push_back(window);
    }
    // Both are written in full before either takes its name.
    void publish() {
        writeTableHeader();
        if (table) table->unit().finish();
        if (plot) {
            plot->unit().text() = report::drawResultsPlot(windows, loci);
            plot->unit().finish();
        }
        if (table) table->publish();
        if (plot) plot->publish();
    }
};

ExtraOutputs createExtraOutputs(const CommandLine& line, std::vector<report::LocusRow> loci) {
    ExtraOutputs outputs{std::move(loci), {}, {}, false, {}};
    if (!line.tablePath.empty()) {
        outputs.table.emplace(namesStandardOutput(line.tablePath) ? report::StagedOutput::standardOutput()
                                                                  : report::StagedOutput::beside(line.tablePath, "\n"));
    }
    if (!line.plotPath.empty()) outputs.plot.emplace(report::StagedOutput::beside(line.plotPath, "\n"));
    return outputs;
}

void runAnalysisCommand(const CommandLine& line) {
    catchInterruptions();
    checkOutputPaths(line.tablePath, line.plotPath);
    const bool extras = !line.tablePath.empty() || !line.plotPath.empty();
    RunOptions options = line.run;
    options.consoleOnStandardError = !line.tablePath.empty() && namesStandardOutput(line.tablePath);
    // The console lines then share standard error with the progress line: it is left out.
    const std::optional<ProgressTerminal> terminal =
        options.consoleOnStandardError ? std::nullopt : progressTerminal();
    std::optional<haplotype::FamilyData> input;
    if (extras || terminal || lociBesideInput()) input = peekInput();

    ExtraOutputs outputs = createExtraOutputs(line, readLociBesideInput(input));
    std::optional<ProgressLine> progress;
    if (terminal) progress.emplace(*terminal, input ? countWindows(input->lociCount) : 0);

    runAnalysis(
        options,
        [&](const WindowOutcome& window) {
            if (extras) outputs.add(window);
            if (progress) progress->windowDone(window);
        },
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
        case Command::analyse:
            break;
    }
    runAnalysisCommand(line);
    return 0;
}

}  // namespace triotdt::driver
