#include "driver/analysis.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <iostream>
#include <string>
#include <thread>

#include "driver/interruption.h"
#include "input/family_input.h"
#include "haplotype/window.h"
#include "report/transmission_block.h"
#include "io/file_names.h"
#include "io/output_unit.h"
#include "report/reports.h"
#include "io/run_error.h"
#include "io/text_reader.h"
#include "parallel/task_pool.h"
#include "window/analyse_windows.h"

namespace triotdt::driver {
namespace {

using haplotype::FamilyData;
using haplotype::Window;
using window::WindowResult;

using io::inputFileName;
using input::countMissingGenotypes;
using input::describeUnusableInput;
using input::findUnusableInput;
using input::InputProblems;
using input::readFamilyData;
// Windows with this many haplotypes or more get a console message.
constexpr std::int64_t haplotypeLimit = 500000;

struct Units {
    io::OutputUnit console;
    io::OutputUnit transmission;
    io::OutputUnit results;
    const ConsoleTurn& turn;
};

// Writes the console text gathered so far, with whatever else is drawn on
// the console stepping aside meanwhile.
void flushConsole(Units& units) {
    const std::string& text = units.console.text();
    if (text.empty()) return;
    const bool lineOpen = text.back() != '\n';
    if (units.turn.before) units.turn.before();
    units.console.flush();
    if (units.turn.after) units.turn.after(lineOpen);
}

// Writes all lines of a window, in their order.
void writeWindow(const WindowResult& result, Units& units, WindowOutcome& outcome) {
    const Window& window = result.window;
    outcome.start = window.start;
    outcome.size = window.size;
    outcome.haplotypeCount = window.haplotypeCount;
    if (window.haplotypeCount >= haplotypeLimit) {
        report::writeHaplotypeLimitMessage(units.console, window.haplotypeCount);
    }
    if (window.skipped) {
        report::writeSkippedWindowMessage(units.console, window.start, window.lastLocus(), window.haplotypeCount);
        outcome.skipped = true;
        return;
    }
    if (!result.emConverged) report::writeEmWarning(units.console);
    report::writeTransmissionBlock(units.transmission, window, result.codes, result.counts, result.haplotypeFreq);
    for (io::OutputUnit* unit : {&units.results, &units.console}) {
        report::writePValueLine(*unit, window.start, window.lastLocus(), result.pValues);
    }
    for (io::OutputUnit* unit : {&units.results, &units.console}) {
        report::writeStatisticLine(*unit, result.observed);
    }
    outcome.families = result.families;
    outcome.familiesOfKnownPhase = result.familiesOfKnownPhase;
    outcome.distinctHaplotypes = result.distinctHaplotypes;
    outcome.statistics = result.observed;
    outcome.pValues = result.pValues;
}

void analyseAllWindows(const FamilyData& data, unsigned threads, Units& units, const WindowObserver& observer) {
    RunInterrupted progress;
    progress.windowCount = countWindows(data.lociCount);
    const auto stopIfAsked = [&progress] {
        progress.signal = interruptingSignal();
        if (progress.signal != 0) throw progress;
    };
    stopIfAsked();
    if (data.lociCount <= 0) return;
    parallel::TaskPool pool(threads);
    if (pool.shortfall() > 0) {
        std::cerr << "Only " << pool.size() << " of " << threads << " threads could be started; the run goes on with "
                  << pool.size() << ".\n";
    }
    const auto writeInOrder = [&](const WindowResult& result) {
        // A window whose replicates a signal cut short is not written.
        stopIfAsked();
        if (result.window.start == 1) {
            for (io::OutputUnit* unit : {&units.console, &units.results, &units.transmission}) {
                report::writeWindowSizeHeading(*unit, result.window.size);
            }
            for (io::OutputUnit* unit : {&units.console, &units.results}) report::writeStatisticsHeading(*unit);
        }
        WindowOutcome outcome;
        outcome.replicateCount = data.replicateCount;
        writeWindow(result, units, outcome);
        flushConsole(units);
        progress.lastStart = result.window.start;
        progress.lastSize = result.window.size;
        ++progress.windowsDone;
        if (observer) observer(outcome);
        units.results.flushIfLarge();
        units.transmission.flushIfLarge();
    };
    window::analyseWindows(data, 0, progress.windowCount, pool, writeInOrder, &interruptionFlag());
}

// The windows finished stay in the reports, and a last line says that they
// end there: an interrupted report must not pass for a complete one.
void markInterrupted(Units& units, const RunInterrupted& stopped) {
    for (io::OutputUnit* unit : {&units.results, &units.transmission}) {
        unit->text() += interruptedReportLine(stopped);
        unit->text() += unit->lineEnd();
        try {
            unit->flush();
        } catch (const io::RunError&) {
            // The message on standard error still says that the run stopped.
        }
    }
}

unsigned chooseThreads(unsigned requested) {
    if (requested > 0) return requested;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? cores : 1;
}

}  // namespace

std::int64_t countWindows(std::int32_t lociCount) { return window::countWindows(lociCount); }

InputRead readInput() {
    InputRead input;
    std::optional<io::TextReader> reader;
    try {
        reader.emplace(io::openExisting(inputFileName), inputFileName);
    } catch (...) {
        input.openFailure = std::current_exception();
        return input;
    }
    try {
        input.data = readFamilyData(*reader);
    } catch (...) {
        input.readFailure = std::current_exception();
    }
    return input;
}

void runAnalysis(const InputRead& input, const RunOptions& options, const WindowObserver& observer,
                 const ConsoleTurn& turn, const std::function<void()>& completeOutputs) {
    if (input.openFailure) std::rethrow_exception(input.openFailure);
    Units units{options.consoleOnStandardError ? io::OutputUnit::standardError() : io::OutputUnit::console(),
                io::OutputUnit::createNew(io::transmissionFileName, "\r\n"),
                io::OutputUnit::createNew(io::resultFileName, "\r\n"), turn};
    if (input.readFailure) std::rethrow_exception(input.readFailure);
    const FamilyData& data = *input.data;
    const InputProblems problems = findUnusableInput(data);
    if (!problems.empty()) throw io::InputRefused(describeUnusableInput(inputFileName, problems));

    const std::int64_t missingGenotypes = countMissingGenotypes(data);
    if (missingGenotypes > 0) report::writeMissingGenotypesLine(units.console, missingGenotypes);
    try {
        analyseAllWindows(data, chooseThreads(options.threads), units, observer);
    } catch (const RunInterrupted& stopped) {
        markInterrupted(units, stopped);
        throw;
    }

    // The reports, and whatever the caller adds, must be complete before the
    // run says it has ended well.
    units.transmission.finish();
    units.results.finish();
    if (completeOutputs) completeOutputs();
    report::writeStopLine(units.console);
    flushConsole(units);
}

}  // namespace triotdt::driver
