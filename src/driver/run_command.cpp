#include "driver/run_command.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <unistd.h>
#include <vector>

#include "driver/family_input.h"
#include "driver/progress.h"
#include "report/loci_table.h"
#include "report/output_unit.h"
#include "report/results_plot.h"
#include "report/results_table.h"
#include "report/run_error.h"
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

// A file the run would create must not exist yet; checked before the reports
// are created, so that a clash leaves nothing behind in the common case (the
// creation itself still refuses to overwrite).
void refuseExisting(const std::string& path) {
    if (!path.empty() && ::access(path.c_str(), F_OK) == 0) {
        throw report::RunError(report::ErrorCode::fileExists, "OPEN of file '" + path + "'", "file already exists");
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

// Marker names and positions for the table and the figure, when tdtloci.tsv
// lies beside the input.
std::vector<report::LocusRow> readLociBesideInput(const std::optional<haplotype::FamilyData>& input) {
    if (::access(report::lociFileName, F_OK) != 0) return {};
    std::vector<report::LocusRow> loci = report::readLociTable(report::lociFileName);
    if (input) checkLociMatchInput(loci, *input);
    return loci;
}

// The table is written row by row as windows end, the figure once at the end.
struct ExtraOutputs {
    const CommandLine& line;
    std::vector<report::LocusRow> loci;
    std::optional<report::OutputUnit> table;
    std::vector<WindowOutcome> windows;

    void openTable() {
        if (line.tablePath.empty() || table) return;
        table.emplace(report::OutputUnit::createNew(line.tablePath, "\n"));
        report::appendTableHeader(table->text());
    }
    void add(const WindowOutcome& window) {
        if (!line.tablePath.empty()) {
            openTable();
            report::appendTableRow(table->text(), window, loci);
            table->flush();
        }
        if (!line.plotPath.empty()) windows.push_back(window);
    }
    void finish() {
        openTable();
        if (table) table->finish();
        if (line.plotPath.empty()) return;
        report::OutputUnit plot = report::OutputUnit::createNew(line.plotPath, "\n");
        plot.text() = report::drawResultsPlot(windows, loci);
        plot.finish();
    }
};

void runAnalysisCommand(const CommandLine& line) {
    const bool extras = !line.tablePath.empty() || !line.plotPath.empty();
    refuseExisting(line.tablePath);
    refuseExisting(line.plotPath);
    const std::optional<ProgressTerminal> terminal = progressTerminal();
    std::optional<haplotype::FamilyData> input;
    if (extras || terminal) input = peekInput();

    ExtraOutputs outputs{line, extras ? readLociBesideInput(input) : std::vector<report::LocusRow>{}, {}, {}};
    std::optional<ProgressLine> progress;
    if (terminal) progress.emplace(*terminal, input ? countWindows(input->lociCount) : 0);

    ConsoleTurn turn;
    if (progress) {
        turn.before = [&] { progress->stepAside(); };
        turn.after = [&](bool lineOpen) { progress->comeBack(lineOpen); };
    }
    runAnalysis(
        line.run,
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
