#include "driver/analysis.h"

#include <algorithm>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <limits>
#include <thread>

#include "driver/family_input.h"
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
};

// Resamples a prepared window and writes all its lines, in their order.
void finishWindow(const PreparedWindow& prepared, resampling::ExchangeDraws& draws, resampling::WorkerPool& pool,
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
        return;
    }
    const frequency::WindowFrequencies& frequencies = prepared.frequencies;
    if (!frequencies.emConverged) report::writeEmWarning(units.console);
    report::writeTransmissionBlock(units.transmission, window, prepared.phases, frequencies.counts,
                           frequencies.sets.haplotypeFreq);

    const statistics::FiveStatistics pValues = resampling::resampleWindow(*prepared.model, prepared.observed, draws, pool);
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
    if (data.lociCount <= 0) return;
    resampling::ExchangeDraws draws(data.familyCount, data.replicateCount, countWindows(data.lociCount));
    resampling::WorkerPool pool(threads);
    std::optional<WindowPlace> place = WindowPlace{};
    std::unique_ptr<PreparedWindow> current = prepareWindow(data, place->size, place->start);
    while (place) {
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
            ahead = std::async(std::launch::async, prepareWindow, std::cref(data), following->size, following->start);
        }
        WindowOutcome outcome;
        outcome.replicateCount = data.replicateCount;
        finishWindow(*current, draws, pool, units, outcome);
        if (observer) observer(outcome);
        units.console.flush();
        units.results.flushIfLarge();
        units.transmission.flushIfLarge();
        if (following) current = ahead.valid() ? ahead.get() : prepareWindow(data, following->size, following->start);
        place = following;
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

void runAnalysis(const InputRead& input, const RunOptions& options, const WindowObserver& observer) {
    if (input.openFailure) std::rethrow_exception(input.openFailure);
    Units units{io::OutputUnit::console(), io::OutputUnit::createNew(io::transmissionFileName, "\r\n"),
                io::OutputUnit::createNew(io::resultFileName, "\r\n")};
    if (input.readFailure) std::rethrow_exception(input.readFailure);
    const FamilyData& data = *input.data;
    const InputProblems problems = findUnusableInput(data);
    if (!problems.empty()) throw io::InputRefused(describeUnusableInput(inputFileName, problems));

    analyseAllWindows(data, chooseThreads(options.threads), units, observer);

    // The reports must be complete before the run says it has ended well.
    units.transmission.finish();
    units.results.finish();
    report::writeStopLine(units.console);
    units.console.flush();
}

}  // namespace triotdt::driver
