#include "driver/analysis.h"

#include <algorithm>
#include <cstdint>
#include <future>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "driver/interruption.h"
#include "frequency/frequency_sets.h"
#include "haplotype/indexed_phases.h"
#include "haplotype/phasing.h"
#include "haplotype/window.h"
#include "input/family_input.h"
#include "io/file_names.h"
#include "io/output_unit.h"
#include "io/run_error.h"
#include "io/text_reader.h"
#include "report/reports.h"
#include "report/transmission_block.h"
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

using input::countMissingGenotypes;
using input::describeUnusableInput;
using input::findUnusableInput;
using input::InputProblems;
using input::readFamilyData;
using io::inputFileName;
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
void flushConsole(io::OutputUnit& console, const ConsoleTurn* turn) {
    const std::string& text = console.text();
    if (text.empty()) return;
    const bool lineOpen = text.back() != '\n';
    if (turn && turn->before) turn->before();
    console.flush();
    if (turn && turn->after) turn->after(lineOpen);
}

// Resamples a prepared window and writes all its lines, in their order.
// Returns false, with the result lines unwritten, when a signal stopped the
// resampling.
bool finishWindow(const PreparedWindow& prepared, resampling::ExchangeDraws& draws, resampling::WorkerPool& pool,
                  const SizeUnits& units, WindowOutcome& outcome) {
    const Window& window = prepared.window;
    outcome.start = window.start;
    outcome.size = window.size;
    outcome.haplotypeCount = window.haplotypeCount;
    if (window.haplotypeCount >= haplotypeLimit) {
        report::writeHaplotypeLimitMessage(*units.console, window.haplotypeCount);
    }
    if (prepared.skipped()) {
        report::writeSkippedWindowMessage(*units.console, window.start, window.lastLocus(), window.haplotypeCount);
        resampling::skipWindowDraws(draws);
        outcome.skipped = true;
        return true;
    }
    const frequency::WindowFrequencies& frequencies = prepared.frequencies;
    if (!frequencies.emConverged) report::writeEmWarning(*units.console);
    report::writeTransmissionBlock(*units.transmission, window, prepared.phases, frequencies.counts,
                                   frequencies.sets.haplotypeFreq);

    const statistics::FiveStatistics pValues =
        resampling::resampleWindow(*prepared.model, prepared.observed, draws, pool, &interruptionFlag());
    if (interruptingSignal() != 0) return false;
    for (io::OutputUnit* unit : {units.results, units.console}) {
        report::writePValueLine(*unit, window.start, window.lastLocus(), pValues);
    }
    for (io::OutputUnit* unit : {units.results, units.console}) {
        report::writeStatisticLine(*unit, prepared.observed);
    }
    outcome.families = prepared.phases.familyCount();
    outcome.familiesOfKnownPhase = frequencies.unambiguousFamilyCount;
    outcome.distinctHaplotypes = haplotype::countObservedHaplotypes(prepared.phases);
    outcome.statistics = prepared.observed;
    outcome.pValues = pValues;
    return true;
}

// A window of `size` loci from `start` (a locus of the input) prepared from
// `data`, which holds the input's loci from `firstLocusHeld` on.
std::unique_ptr<PreparedWindow> prepareWindowOf(const FamilyData& data, std::int32_t firstLocusHeld, std::int32_t size,
                                                std::int32_t start) {
    std::unique_ptr<PreparedWindow> prepared = prepareWindow(data, size, start - firstLocusHeld + 1);
    prepared->window.start = start;
    return prepared;
}

// Where a run stands, for the message when a signal stops it.
struct RunProgress {
    RunInterrupted state;

    void stopIfAsked() {
        state.signal = interruptingSignal();
        if (state.signal != 0) throw state;
    }
};

// The windows of one size and span, in order, from the stream position of the
// first; each is prepared while the one before it resamples when there are
// threads to spare.
void analyseSpan(const FamilyData& data, const WindowSelection& selection, const shard::WindowSpan& span,
                 resampling::WorkerPool& pool, unsigned threads, const SizeUnits& units, const WindowObserver& observer,
                 RunProgress& progress) {
    resampling::ExchangeDraws draws(data.familyCount, data.replicateCount, span.windowCount(),
                                    shard::windowIndex(selection.lociCount, span.size, span.firstStart));
    const auto prepare = [&](std::int32_t start) {
        return prepareWindowOf(data, selection.firstLocusHeld, span.size, start);
    };
    std::unique_ptr<PreparedWindow> current = prepare(span.firstStart);
    for (std::int32_t start = span.firstStart; start <= span.lastStart; ++start) {
        progress.stopIfAsked();
        const bool more = start < span.lastStart;
        std::future<std::unique_ptr<PreparedWindow>> ahead;
        if (more && threads > 1) {
            try {
                ahead = std::async(std::launch::async, prepare, start + 1);
            } catch (const std::system_error&) {
                // No thread to spare after all: the window is prepared in turn.
            }
        }
        WindowOutcome outcome;
        outcome.replicateCount = data.replicateCount;
        if (!finishWindow(*current, draws, pool, units, outcome)) progress.stopIfAsked();
        flushConsole(*units.console, units.turn);
        progress.state.lastStart = start;
        progress.state.lastSize = span.size;
        ++progress.state.windowsDone;
        if (observer) observer(outcome);
        units.results->flushIfLarge();
        units.transmission->flushIfLarge();
        if (more) current = ahead.valid() ? ahead.get() : prepare(start + 1);
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
    for (std::int32_t size = 1; size <= shard::largestWindowSize(lociCount); ++size) count += lociCount - size + 1;
    return count;
}

void analyseWindows(const FamilyData& data, const WindowSelection& selection, unsigned threads,
                    const UnitsOfSize& unitsOf, const WindowObserver& observer) {
    RunProgress progress;
    for (const shard::WindowSpan& span : selection.spans) progress.state.windowCount += span.windowCount();
    progress.stopIfAsked();
    if (progress.state.windowCount == 0) return;
    threads = chooseThreads(threads);
    resampling::WorkerPool pool(threads);
    if (pool.shortfall() > 0) {
        std::cerr << "Only " << pool.size() << " of " << threads << " threads could be started; the run goes on with "
                  << pool.size() << ".\n";
    }
    for (const shard::WindowSpan& span : selection.spans) {
        if (span.windowCount() == 0) continue;
        analyseSpan(data, selection, span, pool, threads, unitsOf(span.size), observer, progress);
    }
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

    const std::int64_t missingGenotypes = countMissingGenotypes(data);
    if (missingGenotypes > 0) report::writeMissingGenotypesLine(units.console, missingGenotypes);
    const std::int32_t lociCount = std::max(data.lociCount, 0);
    const WindowSelection every{lociCount, shard::windowsOfRange(shard::LocusRange{1, lociCount}, lociCount), 1};
    const auto headings = [&units](std::int32_t size) {
        for (io::OutputUnit* unit : {&units.console, &units.results, &units.transmission}) {
            report::writeWindowSizeHeading(*unit, size);
        }
        for (io::OutputUnit* unit : {&units.console, &units.results}) report::writeStatisticsHeading(*unit);
        return SizeUnits{&units.console, &units.transmission, &units.results, &units.turn};
    };
    try {
        analyseWindows(data, every, options.threads, headings, observer);
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
    flushConsole(units.console, &turn);
}

}  // namespace triotdt::driver
