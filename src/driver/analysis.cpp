#include "driver/analysis.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <atomic>
#include <functional>
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
#include "parallel/in_order.h"
#include "parallel/task_pool.h"

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

// What the reports need of a window once its replicates are done: the dense
// counts and codes, not the phase table nor the text, so that results waiting
// for their turn stay small and a large block is written as a stream.
struct WindowResult {
    Window window;
    std::int64_t haplotypeCount = 0;  // the true number, also beyond 32 bits
    bool skipped = false;
    bool emConverged = true;
    std::vector<std::int32_t> codes;  // of the haplotypes that occur, ascending
    frequency::CountTables counts;    // by index of `codes`
    std::vector<double> haplotypeFreq;
    std::int32_t familiesOfKnownPhase = 0;
    std::int32_t distinctHaplotypes = 0;
    resampling::FiveStatistics observed{};
    resampling::FiveStatistics pValues{};
};

// One per-haplotype line over every code 1..haplotypeCount of the window; the
// codes that occur in no combination print 0.
void writeIndexedLine(report::OutputUnit& unit, report::HaplotypeLine line, const WindowResult& result,
                      const std::vector<double>& values, double factor) {
    std::size_t next = 0;
    const std::vector<std::int32_t>& codes = result.codes;
    report::writeHaplotypeLine(unit, line, static_cast<std::size_t>(result.window.haplotypeCount), [&](std::size_t h) {
        if (next < codes.size() && static_cast<std::size_t>(codes[next]) == h + 1) return factor * values[next++];
        return 0.0;
    });
}

void writeTransmissionBlock(report::OutputUnit& unit, const WindowResult& result) {
    using report::HaplotypeLine;
    report::writeTransmissionHeading(unit, result.window.start, result.window.lastLocus());
    writeIndexedLine(unit, HaplotypeLine::transmitted, result, result.counts.transmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::untransmitted, result, result.counts.untransmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::homozygote, result, result.counts.homoCount, 2.0);
    writeIndexedLine(unit, HaplotypeLine::frequency, result, result.haplotypeFreq, 1.0);
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
// depend on the random stream and writes nothing.
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

// Takes what the reports need out of a prepared window, which is then spent.
WindowResult takeResult(PreparedWindow& prepared, const resampling::FiveStatistics& pValues) {
    WindowResult result;
    result.window = prepared.window;
    result.haplotypeCount = prepared.haplotypeCount;
    result.skipped = prepared.skipped();
    if (result.skipped) return result;
    result.emConverged = prepared.frequencies.emConverged;
    result.familiesOfKnownPhase = prepared.frequencies.unambiguousFamilyCount;
    result.distinctHaplotypes = countObservedHaplotypes(prepared.phases);
    result.codes = std::move(prepared.phases.codes);
    result.counts = std::move(prepared.frequencies.counts);
    result.haplotypeFreq = std::move(prepared.frequencies.sets.haplotypeFreq);
    result.observed = prepared.observed;
    result.pValues = pValues;
    return result;
}

// Writes all lines of a window, in their order.
void writeWindow(const WindowResult& result, Units& units, WindowOutcome& outcome) {
    const Window& window = result.window;
    outcome.start = window.start;
    outcome.size = window.size;
    outcome.haplotypeCount = result.haplotypeCount;
    if (result.haplotypeCount >= haplotypeLimit) report::writeHaplotypeLimitMessage(units.console, result.haplotypeCount);
    if (result.skipped) {
        report::writeSkippedWindowMessage(units.console, window.start, window.lastLocus(), result.haplotypeCount);
        outcome.skipped = true;
        return;
    }
    if (!result.emConverged) report::writeEmWarning(units.console);
    writeTransmissionBlock(units.transmission, result);
    for (report::OutputUnit* unit : {&units.results, &units.console}) {
        report::writePValueLine(*unit, window.start, window.lastLocus(), result.pValues);
    }
    for (report::OutputUnit* unit : {&units.results, &units.console}) {
        report::writeStatisticLine(*unit, result.observed);
    }
    outcome.familiesOfKnownPhase = result.familiesOfKnownPhase;
    outcome.distinctHaplotypes = result.distinctHaplotypes;
    outcome.statistics = result.observed;
    outcome.pValues = result.pValues;
}

struct WindowPlace {
    std::int32_t size = 1;
    std::int32_t start = 1;
};

// Window `index` (from 0) in report order: every start of one size, then the next size.
WindowPlace placeOfWindow(std::int32_t lociCount, std::int64_t index) {
    for (std::int32_t size = 1;; ++size) {
        const std::int64_t starts = lociCount - size + 1;
        if (index < starts) return {size, static_cast<std::int32_t>(index) + 1};
        index -= starts;
    }
}

using FinishWindow = std::function<void(WindowResult)>;

// A window whose replicates are shared out among tasks: the task that scores
// the last share finishes the window.
struct SharedWindow {
    std::unique_ptr<PreparedWindow> prepared;
    resampling::StreamPlace place;
    std::int32_t replicatesPerTask = 0;
    std::vector<resampling::FiveStatistics> scores;  // per share
    std::atomic<std::size_t> sharesLeft{0};
    FinishWindow finish;
};

void scoreShare(SharedWindow& shared, std::size_t share) {
    const std::int32_t first = static_cast<std::int32_t>(share) * shared.replicatesPerTask;
    const std::int32_t last = std::min(first + shared.replicatesPerTask, shared.place.replicateCount);
    shared.scores[share] = resampling::scoreReplicates(*shared.prepared->model, shared.prepared->observed, shared.place,
                                                       first, last);
    if (shared.sharesLeft.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    resampling::FiveStatistics sums{};
    for (const resampling::FiveStatistics& part : shared.scores) {
        for (std::size_t s = 0; s < sums.size(); ++s) sums[s] += part[s];
    }
    WindowResult result = takeResult(*shared.prepared, resampling::pValuesOf(sums, shared.place.replicateCount));
    shared.prepared.reset();
    shared.finish(std::move(result));
}

// Prepares window `index` and scores its replicates: whole on this thread
// when they are little work or there is one thread, otherwise in shares that
// the pool's threads take up as they come free.
void analyseWindow(const FamilyData& data, std::int64_t index, parallel::TaskPool& pool, const FinishWindow& finish) {
    const WindowPlace place = placeOfWindow(data.lociCount, index);
    std::unique_ptr<PreparedWindow> prepared = prepareWindow(data, place.size, place.start);
    if (prepared->skipped()) return finish(takeResult(*prepared, {}));
    const resampling::StreamPlace stream{data.familyCount, data.replicateCount, index};
    const std::int32_t replicates = data.replicateCount;
    const std::int32_t perTask = pool.size() > 1 ? resampling::replicatesPerTask(*prepared->model) : replicates;
    if (perTask >= replicates) {
        const resampling::FiveStatistics sums =
            resampling::scoreReplicates(*prepared->model, prepared->observed, stream, 0, replicates);
        return finish(takeResult(*prepared, resampling::pValuesOf(sums, replicates)));
    }
    auto shared = std::make_shared<SharedWindow>();
    const auto shares = static_cast<std::size_t>((replicates + perTask - 1) / perTask);
    shared->prepared = std::move(prepared);
    shared->place = stream;
    shared->replicatesPerTask = perTask;
    shared->scores.resize(shares);
    shared->sharesLeft.store(shares, std::memory_order_relaxed);
    shared->finish = finish;
    for (std::size_t share = shares; share-- > 1;) {
        pool.submit([shared, share](unsigned) { scoreShare(*shared, share); }, parallel::TaskPool::Place::front);
    }
    scoreShare(*shared, 0);
}

void analyseAllWindows(const FamilyData& data, unsigned threads, Units& units, const WindowObserver& observer) {
    if (data.lociCount <= 0) return;
    parallel::TaskPool pool(threads);
    // Enough windows under way for every thread to find one while the
    // calling thread writes.
    const std::size_t windowsUnderWay = 4 * std::size_t{threads} + 2;
    parallel::runInOrder<WindowResult>(
        pool, countWindows(data.lociCount), windowsUnderWay,
        [&](std::int64_t index, FinishWindow finish) {
            pool.submit([&data, &pool, index, finish = std::move(finish)](unsigned) {
                analyseWindow(data, index, pool, finish);
            }, parallel::TaskPool::Place::back);
        },
        [&](std::int64_t, WindowResult result) {
            if (result.window.start == 1) {
                for (report::OutputUnit* unit : {&units.console, &units.results, &units.transmission}) {
                    report::writeWindowSizeHeading(*unit, result.window.size);
                }
                for (report::OutputUnit* unit : {&units.console, &units.results}) report::writeStatisticsHeading(*unit);
            }
            WindowOutcome outcome;
            outcome.replicateCount = data.replicateCount;
            writeWindow(result, units, outcome);
            if (observer) observer(outcome);
            units.console.flush();
            units.results.flushIfLarge();
            units.transmission.flushIfLarge();
        });
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
