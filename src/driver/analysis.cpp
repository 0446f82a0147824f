#include "driver/analysis.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <iostream>
#include <limits>
#include <new>
#include <string>
#include <thread>

#include "driver/command_line.h"
#include "driver/family_input.h"
#include "driver/run_command.h"
#include "frequency/frequency_sets.h"
#include "haplotype/indexed_phases.h"
#include "haplotype/phasing.h"
#include "haplotype/window.h"
#include "report/output_unit.h"
#include "report/reports.h"
#include "report/run_error.h"
#include "report/text_reader.h"
#include "resampling/exchange_draws.h"
#include "resampling/resample.h"
#include "resampling/worker_pool.h"

namespace triotdt::driver {
namespace {

using haplotype::FamilyData;
using haplotype::Window;

constexpr const char* inputName = "tdtinput.dat";
constexpr const char* transmissionName = "tdttran.txt";
constexpr const char* resultName = "tdtout.txt";
constexpr std::int32_t largestWindow = 7;
// Windows with this many haplotypes or more get a console message.
constexpr std::int64_t haplotypeLimit = 500000;

struct Units {
    report::OutputUnit console;
    report::OutputUnit transmission;
    report::OutputUnit results;
};

Window makeWindow(const FamilyData& data, std::int32_t size, std::int32_t start, std::int64_t& haplotypeCount) {
    Window window;
    window.size = size;
    window.start = start;
    window.alleleCount.assign(data.alleleCount.begin() + (start - 1), data.alleleCount.begin() + (start - 1 + size));
    haplotypeCount = haplotype::countHaplotypes(window.alleleCount);
    window.haplotypeCount = haplotypeCount <= std::numeric_limits<std::int32_t>::max()
                                ? static_cast<std::int32_t>(haplotypeCount)
                                : 0;
    return window;
}

// One per-haplotype line over every code 1..haplotypeCount of the window; the
// codes that occur in no combination print 0.
void writeIndexedLine(report::OutputUnit& unit, report::HaplotypeLine line, const haplotype::IndexedPhases& phases,
                      const std::vector<double>& values, double factor) {
    std::size_t next = 0;
    report::writeHaplotypeLine(unit, line, static_cast<std::size_t>(phases.haplotypeCount), [&](std::size_t h) {
        if (next < phases.codes.size() && static_cast<std::size_t>(phases.codes[next]) == h + 1) {
            return factor * values[next++];
        }
        return 0.0;
    });
}

void writeTransmissionBlock(report::OutputUnit& unit, const Window& window, const haplotype::IndexedPhases& phases,
                            const frequency::CountTables& counts, const std::vector<double>& haplotypeFreq) {
    using report::HaplotypeLine;
    report::writeTransmissionHeading(unit, window.start, window.lastLocus());
    writeIndexedLine(unit, HaplotypeLine::transmitted, phases, counts.transmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::untransmitted, phases, counts.untransmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::homozygote, phases, counts.homoCount, 2.0);
    writeIndexedLine(unit, HaplotypeLine::frequency, phases, haplotypeFreq, 1.0);
}

std::int32_t countObservedHaplotypes(const haplotype::IndexedPhases& phases) {
    std::vector<bool> seen(phases.indexCount());
    for (const haplotype::Combination& c : phases.observed()) {
        for (const std::int32_t h : {c.fatherTransmit, c.fatherUntransmit, c.motherTransmit, c.motherUntransmit}) {
            seen[static_cast<std::size_t>(h)] = true;
        }
    }
    return static_cast<std::int32_t>(std::count(seen.begin(), seen.end(), true));
}

// A window worked out as far as its replicates: everything that does not
// depend on the random stream and writes nothing, so that it can be prepared
// while the window before it resamples.
struct PreparedWindow {
    Window window;
    std::int64_t haplotypeCount = 0;  // the true number, also beyond 32 bits
    haplotype::IndexedPhases phases;
    frequency::WindowFrequencies frequencies;
    std::optional<resampling::WindowModel> model;  // refers to `phases`
    resampling::FiveStatistics observed{};

    bool skipped() const { return window.haplotypeCount == 0; }
};

std::unique_ptr<PreparedWindow> prepareWindow(const FamilyData& data, std::int32_t size, std::int32_t start) {
    auto prepared = std::make_unique<PreparedWindow>();
    prepared->window = makeWindow(data, size, start, prepared->haplotypeCount);
    if (prepared->skipped()) return prepared;
    prepared->phases = haplotype::indexPhases(haplotype::phaseFamilies(data, prepared->window),
                                              prepared->window.haplotypeCount);
    prepared->frequencies = frequency::estimateWindowFrequencies(prepared->phases);
    prepared->model.emplace(resampling::buildWindowModel(prepared->phases, prepared->frequencies.sets));
    prepared->observed = resampling::observedStatistics(*prepared->model);
    return prepared;
}

// Resamples a prepared window and writes all its lines, in their order.
void finishWindow(const PreparedWindow& prepared, resampling::ExchangeDraws& draws, resampling::WorkerPool& pool,
                  Units& units, WindowOutcome& outcome) {
    const Window& window = prepared.window;
    outcome.start = window.start;
    outcome.size = window.size;
    outcome.haplotypeCount = prepared.haplotypeCount;
    if (prepared.haplotypeCount >= haplotypeLimit) {
        report::writeHaplotypeLimitMessage(units.console, prepared.haplotypeCount);
    }
    if (prepared.skipped()) {
        report::writeSkippedWindowMessage(units.console, window.start, window.lastLocus(), prepared.haplotypeCount);
        resampling::skipWindowDraws(draws);
        outcome.skipped = true;
        return;
    }
    const frequency::WindowFrequencies& frequencies = prepared.frequencies;
    if (!frequencies.emConverged) report::writeEmWarning(units.console);
    writeTransmissionBlock(units.transmission, window, prepared.phases, frequencies.counts,
                           frequencies.sets.haplotypeFreq);

    const resampling::FiveStatistics pValues = resampling::resampleWindow(*prepared.model, prepared.observed, draws, pool);
    for (report::OutputUnit* unit : {&units.results, &units.console}) {
        report::writePValueLine(*unit, window.start, window.lastLocus(), pValues);
    }
    for (report::OutputUnit* unit : {&units.results, &units.console}) {
        report::writeStatisticLine(*unit, prepared.observed);
    }
    outcome.families = prepared.phases.familyCount();
    outcome.familiesOfKnownPhase = frequencies.unambiguousFamilyCount;
    outcome.distinctHaplotypes = countObservedHaplotypes(prepared.phases);
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
            for (report::OutputUnit* unit : {&units.console, &units.results, &units.transmission}) {
                report::writeWindowSizeHeading(*unit, place->size);
            }
            for (report::OutputUnit* unit : {&units.console, &units.results}) report::writeStatisticsHeading(*unit);
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

void runAnalysis(const RunOptions& options, const WindowObserver& observer) {
    const int inputFd = report::openExisting(inputName);
    report::TextReader reader(inputFd, inputName);
    Units units{report::OutputUnit::console(), report::OutputUnit::createNew(transmissionName, "\r\n"),
                report::OutputUnit::createNew(resultName, "\r\n")};

    const FamilyData data = readFamilyData(reader);
    const InputProblems problems = findUnusableInput(data);
    if (!problems.empty()) throw report::InputRefused(describeUnusableInput(inputName, problems));

    const std::int64_t missingGenotypes = countMissingGenotypes(data);
    if (missingGenotypes > 0) report::writeMissingGenotypesLine(units.console, missingGenotypes);
    analyseAllWindows(data, chooseThreads(options.threads), units, observer);

    // The reports must be complete before the run says it has ended well.
    units.transmission.finish();
    units.results.finish();
    report::writeStopLine(units.console);
    units.console.flush();
}

int runProgram(int argc, char** argv) {
    // A file-size limit or a reader that has gone away must fail the write
    // with a message, not kill the run without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    const ParsedCommandLine parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
    if (!parsed.line) return parsed.exitStatus;
    try {
        return runCommand(*parsed.line);
    } catch (const report::RunError& error) {
        std::cerr << report::describe(error);
    } catch (const report::InputRefused& refused) {
        std::cerr << refused.what();
    } catch (const std::bad_alloc&) {
        std::cerr << report::describe(report::RunError(report::ErrorCode::outOfMemory, "the analysis", "out of memory"));
    } catch (const std::exception& error) {
        std::cerr << report::describe(
            report::RunError(report::ErrorCode::internalError, "the analysis", std::string("internal error: ") + error.what()));
    }
    return 1;
}

}  // namespace triotdt::driver
