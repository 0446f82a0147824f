#include "driver/analysis.h"

#include <algorithm>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <limits>
#include <iostream>
#include <string>
#include <system_error>
#include <thread>

#include "driver/family_input.h"
#include "driver/interruption.h"
#include "frequency/frequency_sets.h"
#include "haplotype/indexed_phases.h"
#include "haplotype/phasing.h"
#include "haplotype/window.h"
#include "report/transmission_block.h"
#include "io/file_names.h"
#include "io/output_unit.h"
#include "report/reports.h"
#include "io/run_error.h"
#include "io/text_reader.h"
#include "resampling/exchange_draws.h"
#include "resampling/resample.h"
#include "resampling/worker_pool.h"
#include "window/prepare_window.h"

namespace triotdt::driver {
namespace {

using haplotype::FamilyData;
using haplotype::Window;
using window::PreparedWindow;
using window::prepareWindow;

using io::inputFileName;
constexpr std::int32_t largestWindow = 7;
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

// Resamples a prepared window and writes all its lines, in their order.
// Returns false, with the result lines unwritten, when a signal stopped the
// resampling.
bool finishWindow(const PreparedWindow& prepared, resampling::ExchangeDraws& draws, resampling::WorkerPool& pool,
                  Units& units, WindowOutcome& outcome) {
    const Window& window = prepared.window;
    outcome.start = window.start;
    outcome.size = window.size;
    outcome.haplotypeCount = window.haplotypeCount;
    if (window.haplotypeCount >= haplotypeLimit) {
        report::writeHaplotypeLimitMessage(units.console, window.haplotypeCount);
    }
    if (prepared.skipped()) {
        report::writeSkippedWindowMessage(units.console, window.start, window.lastLocus(), window.haplotypeCount);
        resampling::skipWindowDraws(draws);
        outcome.skipped = true;
        return true;
    }
    const frequency::WindowFrequencies& frequencies = prepared.frequencies;
    if (!frequencies.emConverged) report::writeEmWarning(units.console);
    report::writeTransmissionBlock(units.transmission, window, prepared.phases, frequencies.counts,
                           frequencies.sets.haplotypeFreq);

    const statistics::FiveStatistics pValues =
        resampling::resampleWindow(*prepared.model, prepared.observed, draws, pool, &interruptionFlag());
    if (interruptingSignal() != 0) return false;
    for (io::OutputUnit* unit : {&units.results, &units.console}) {
        report::writePValueLine(*unit, window.start, window.lastLocus(), pValues);
    }
    for (io::OutputUnit* unit : {&units.results, &units.console}) {
        report::writeStatisticLine(*unit, prepared.observed);
    }
    outcome.familiesOfKnownPhase = frequencies.unambiguousFamilyCount;
    outcome.distinctHaplotypes = haplotype::countObservedHaplotypes(prepared.phases);
    outcome.statistics = prepared.observed;
    outcome.pValues = pValues;
    return true;
}

struct WindowPlace {
    std::int32_t size = 1;
    std::int32_t start = 1;
};

// The window after `place` in report order: every start of one size, then the next size.
std::optional<WindowPlace> nextWindow(const FamilyData& data, WindowPlace place) {
    if (place.start < data.lociCount - place.size + 1) return WindowPlace{place.size, place.start + 1};
    if (place.size < std::min(data.lociCount, largestWindow)) return WindowPlace{place.size + 1, 1};
    return std::nullopt;
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
    resampling::ExchangeDraws draws(data.familyCount, data.replicateCount, progress.windowCount);
    resampling::WorkerPool pool(threads);
    if (pool.shortfall() > 0) {
        std::cerr << "Only " << pool.size() << " of " << threads << " threads could be started; the run goes on with "
                  << pool.size() << ".\n";
    }
    std::optional<WindowPlace> place = WindowPlace{};
    std::unique_ptr<PreparedWindow> current = prepareWindow(data, place->size, place->start);
    while (place) {
        stopIfAsked();
        if (place->start == 1) {
            for (io::OutputUnit* unit : {&units.console, &units.results, &units.transmission}) {
                report::writeWindowSizeHeading(*unit, place->size);
            }
            for (io::OutputUnit* unit : {&units.console, &units.results}) report::writeStatisticsHeading(*unit);
        }
        // With threads to spare, the next window is prepared meanwhile.
        const std::optional<WindowPlace> following = nextWindow(data, *place);
        std::future<std::unique_ptr<PreparedWindow>> ahead;
        if (following && threads > 1) {
            try {
                ahead = std::async(std::launch::async, prepareWindow, std::cref(data), following->size, following->start);
            } catch (const std::system_error&) {
                // No thread to spare after all: the window is prepared in turn.
            }
        }
        WindowOutcome outcome;
        outcome.replicateCount = data.replicateCount;
        if (!finishWindow(*current, draws, pool, units, outcome)) stopIfAsked();
        flushConsole(units);
        progress.lastStart = place->start;
        progress.lastSize = place->size;
        ++progress.windowsDone;
        if (observer) observer(outcome);
        units.results.flushIfLarge();
        units.transmission.flushIfLarge();
        if (following) current = ahead.valid() ? ahead.get() : prepareWindow(data, following->size, following->start);
        place = following;
    }
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

std::int64_t countWindows(std::int32_t lociCount) {
    std::int64_t count = 0;
    for (std::int32_t size = 1; size <= std::min(lociCount, largestWindow); ++size) count += lociCount - size + 1;
    return count;
}

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
