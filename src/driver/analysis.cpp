#include "driver/analysis.h"

#include <unistd.h>
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <string>
#include <thread>

#include "driver/interruption.h"
#include "io/file_names.h"
#include "io/file_text.h"
#include "io/output_unit.h"
#include "io/run_error.h"
#include "parallel/task_pool.h"
#include "report/reports.h"
#include "shard/checksum.h"
#include "shard/shard_parts.h"
#include "window/analyse_windows.h"

namespace triotdt::driver {
namespace {

using haplotype::FamilyData;

struct Units {
    io::OutputUnit console;
    io::OutputUnit transmission;
    io::OutputUnit results;
    const ConsoleTurn& turn;
};

// Writes the console text gathered so far, with whatever else is drawn on
// the console stepping aside meanwhile.
void flushConsole(io::OutputUnit& console, const ConsoleTurn* turn) {
    const std::string& text = console.text();
    if (text.empty()) return;
    const bool lineOpen = text.back() != '\n';
    if (turn && turn->before) turn->before();
    console.flush();
    if (turn && turn->after) turn->after(lineOpen);
}

unsigned chooseThreads(unsigned requested) {
    if (requested > 0) return requested;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

// Throws io::InputRefused when the rows of tdtloci.tsv do not match the
// input's loci and allele counts.
void checkLociMatchInput(const std::vector<output::LocusRow>& loci, const FamilyData& data) {
    const std::string prefix =
        std::string(output::lociFileName) + " does not describe the loci of " + io::inputFileName + ": ";
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

// An X run needs each child's sex (tdtsex.tsv), and only X has one: a
// folder whose tdtloci.tsv and tdtsex.tsv disagree is refused.
void checkLociMatchInheritance(const std::vector<output::LocusRow>& loci, const FamilyData& data) {
    if (loci.empty()) return;
    const std::string& chromosome = loci.front().chromosome;
    const bool xLinked = data.inheritance == haplotype::Inheritance::xLinked;
    if (output::namesChromosomeX(chromosome) && !xLinked) {
        throw io::InputRefused(std::string(output::lociFileName) + " places the loci on chromosome " + chromosome +
                               ", but " + io::sexFileName + ", which gives each child's sex, is not beside " +
                               io::inputFileName + ": a run on X needs it (the import writes it into chrX/)\n");
    }
    if (!output::namesChromosomeX(chromosome) && xLinked) {
        throw io::InputRefused(std::string(io::sexFileName) + " makes this a run on chromosome X, but " +
                               output::lociFileName + " places the loci on chromosome " + chromosome + ": remove " +
                               io::sexFileName + " to analyse them as an autosome's\n");
    }
}

}  // namespace

LociBesideInput readLociBesideInput(const FamilyData* input) {
    if (::access(output::lociFileName, F_OK) != 0) return {};
    LociBesideInput loci;
    loci.text = io::readFileText(output::lociFileName);
    loci.rows = output::parseLociTable(loci.text, output::lociFileName);
    output::refuseSeveralChromosomes(loci.rows, output::lociFileName);
    if (input) {
        checkLociMatchInput(loci.rows, *input);
        checkLociMatchInheritance(loci.rows, *input);
    }
    return loci;
}

output::FamilyWiseHead familyWiseHead(const FamilyData& head, const resampling::ResamplingRule& rule,
                                      window::WindowSizes sizes) {
    output::FamilyWiseHead familyWise{
        shard::programVersion(), rule, resampling::firstBatchEnd(rule, head.replicateCount), head.familyCount,
        output::uncheckedTrios,  sizes};
    if (::access(io::trioListFileName, F_OK) != 0) return familyWise;
    const std::string text = io::readFileText(io::trioListFileName);
    const auto trios = static_cast<std::int64_t>(std::count(text.begin(), text.end(), '\n')) - 1;
    if (trios != head.familyCount) {
        throw io::InputRefused(std::string(io::trioListFileName) + " lists " + std::to_string(trios) + " trios, " +
                               io::inputFileName + " has " + std::to_string(head.familyCount) +
                               " families: it belongs to another input\n");
    }
    shard::Checksum checksum;
    checksum.add(text);
    familyWise.trioChecksum = shard::hexChecksum(checksum.value());
    return familyWise;
}

void writeWindows(const FamilyData& data, const window::WindowSelection& selection,
                  const resampling::ResamplingRule& rule, unsigned threads, const UnitsOfSize& unitsOf,
                  const WindowObserver& observer, const ConsoleTurn* turn, familywise::ReplicateMinima* minima) {
    // Where the run stands, for the message when a signal stops it.
    RunInterrupted progress;
    progress.windowCount = window::countWindows(selection.spans);
    stopIfInterrupted(progress);
    if (progress.windowCount == 0) return;
    threads = chooseThreads(threads);
    parallel::TaskPool pool(threads);
    if (pool.shortfall() > 0) {
        std::cerr << "Only " << pool.size() << " of " << threads << " threads could be started; the run goes on with "
                  << pool.size() << ".\n";
    }
    std::int32_t sizeWritten = 0;
    report::ReportUnits units{};
    const auto writeInOrder = [&](const window::WindowResult& result) {
        // A window whose replicates a signal cut short is not written.
        stopIfInterrupted(progress);
        if (result.size != sizeWritten) {
            sizeWritten = result.size;
            units = unitsOf(sizeWritten);
        }
        report::writeWindowLines(units, result);
        flushConsole(*units.console, turn);
        progress.lastStart = result.start;
        progress.lastSize = result.size;
        ++progress.windowsDone;
        if (observer) observer(result);
        units.results->flushIfLarge();
        units.transmission->flushIfLarge();
    };
    window::analyseWindows(data, selection, rule, pool, writeInOrder, &interruptionFlag(), minima);
}

void runAnalysis(const input::InputRead& read, const RunOptions& options, const WindowObserver& observer,
                 const ConsoleTurn& turn, const std::function<std::string()>& completeOutputs) {
    if (read.openFailure) std::rethrow_exception(read.openFailure);
    Units units{options.consoleOnStandardError ? io::OutputUnit::standardError() : io::OutputUnit::console(),
                io::OutputUnit::createNew(io::transmissionFileName, "\r\n"),
                io::OutputUnit::createNew(io::resultFileName, "\r\n"), turn};
    if (read.readFailure) std::rethrow_exception(read.readFailure);
    const FamilyData& data = *read.data;
    input::refuseUnusableInput(input::findUnusableInput(data));

    const std::int64_t missingGenotypes = input::countMissingGenotypes(data);
    report::writeInputLines(units.console, data, missingGenotypes);
    if (options.resampling.counterBased()) {
        report::writeResamplingLine(units.console, options.resampling, data.replicateCount);
    }
    const report::ReportUnits reports{&units.console, &units.transmission, &units.results};
    const auto headings = [&reports, &data](std::int32_t size) {
        report::writeSizeHeadings(reports, size, data.inheritance);
        return reports;
    };
    try {
        writeWindows(data, window::everyWindow(data.lociCount, options.windowSizes), options.resampling,
                     options.threads, headings, observer, &units.turn, options.minima);
    } catch (const RunInterrupted& stopped) {
        markInterrupted({&units.results, &units.transmission}, stopped);
        throw;
    }

    // The reports, and whatever the caller adds, must be complete before the
    // run says it has ended well.
    units.transmission.finish();
    units.results.finish();
    if (completeOutputs) units.console.text() += completeOutputs();
    report::writeStopLine(units.console);
    flushConsole(units.console, &turn);
}

}  // namespace triotdt::driver
