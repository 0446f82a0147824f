#include "driver/analysis.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <iostream>
#include <limits>
#include <new>

#include "driver/command_line.h"
#include "driver/family_input.h"
#include "driver/run_command.h"
#include "frequency/em.h"
#include "frequency/frequency_sets.h"
#include "frequency/transmission_counts.h"
#include "haplotype/phasing.h"
#include "report/output_unit.h"
#include "report/reports.h"
#include "report/run_error.h"
#include "report/text_reader.h"
#include "resampling/resample.h"
#include "statistics/weighted_counts.h"

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

// The random stream runs on from window to window through the whole run.
struct RandomStream {
    resampling::UniformRandom generator;
    std::int32_t seed = 0;
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

void writeTransmissionBlock(report::OutputUnit& unit, const Window& window, const frequency::CountTables& counts,
                            const std::vector<double>& haplotypeFreq) {
    using report::HaplotypeLine;
    const auto count = static_cast<std::size_t>(window.haplotypeCount);
    report::writeTransmissionHeading(unit, window.start, window.lastLocus());
    report::writeHaplotypeLine(unit, HaplotypeLine::transmitted, count, [&](std::size_t h) { return counts.transmitCount[h]; });
    report::writeHaplotypeLine(unit, HaplotypeLine::untransmitted, count, [&](std::size_t h) { return counts.untransmitCount[h]; });
    report::writeHaplotypeLine(unit, HaplotypeLine::homozygote, count, [&](std::size_t h) { return 2.0 * counts.homoCount[h]; });
    report::writeHaplotypeLine(unit, HaplotypeLine::frequency, count, [&](std::size_t h) { return haplotypeFreq[h]; });
}

std::int32_t countDistinctHaplotypes(const haplotype::PhaseTable& phases) {
    std::vector<std::int32_t> codes;
    codes.reserve(phases.combinations.size() * 4);
    for (const haplotype::Combination& c : phases.combinations) {
        codes.insert(codes.end(), {c.fatherTransmit, c.fatherUntransmit, c.motherTransmit, c.motherUntransmit});
    }
    std::sort(codes.begin(), codes.end());
    return static_cast<std::int32_t>(std::unique(codes.begin(), codes.end()) - codes.begin());
}

void analyseWindow(const FamilyData& data, const Window& window, RandomStream& random, Units& units,
                   WindowOutcome& outcome) {
    const haplotype::PhaseTable phases = haplotype::phaseFamilies(data, window);

    frequency::CountTables counts;
    const std::int32_t unambiguousFamilyCount = frequency::countTransmissions(phases, window.haplotypeCount, counts);
    frequency::FrequencySets sets;
    sets.haplotypeFreq = frequency::haplotypeFrequencies(counts, unambiguousFamilyCount);
    sets.equalFreq = frequency::equalFrequencies(window.haplotypeCount);
    sets.phaseShareFreq = frequency::phaseShareFrequencies(phases, window.haplotypeCount);
    frequency::EmResult em = frequency::estimateHaplotypeFrequencies(phases, window.haplotypeCount);
    if (!em.converged) report::writeEmWarning(units.console);
    sets.emFreq = std::move(em.emFreq);

    resampling::FiveStatistics observed{};
    observed[0] = frequency::transmissionStatistic(counts);
    writeTransmissionBlock(units.transmission, window, counts, sets.haplotypeFreq);
    units.transmission.flushIfLarge();

    std::vector<double> phaseWeight;
    const auto weighted = statistics::weightedStatistics(phases, sets, window.haplotypeCount, counts, phaseWeight);
    for (std::size_t s = 0; s < 4; ++s) observed[s + 1] = weighted[s];

    const resampling::FiveStatistics pValues = resampling::resampleWindow(
        window, phases, sets, observed, data.replicateCount, random.generator, random.seed);

    for (report::OutputUnit* unit : {&units.results, &units.console}) {
        report::writePValueLine(*unit, window.start, window.lastLocus(), pValues);
    }
    for (report::OutputUnit* unit : {&units.results, &units.console}) report::writeStatisticLine(*unit, observed);

    outcome.familiesOfKnownPhase = unambiguousFamilyCount;
    outcome.distinctHaplotypes = countDistinctHaplotypes(phases);
    outcome.statistics = observed;
    outcome.pValues = pValues;
}

void analyseAllWindows(const FamilyData& data, Units& units, const WindowObserver& observer) {
    RandomStream random;
    const std::int32_t maxWindowSize = data.lociCount < largestWindow ? data.lociCount : largestWindow;
    for (std::int32_t size = 1; size <= maxWindowSize; ++size) {
        for (report::OutputUnit* unit : {&units.console, &units.results, &units.transmission}) {
            report::writeWindowSizeHeading(*unit, size);
        }
        for (report::OutputUnit* unit : {&units.console, &units.results}) report::writeStatisticsHeading(*unit);

        for (std::int32_t start = 1; start <= data.lociCount - size + 1; ++start) {
            std::int64_t haplotypeCount = 0;
            const Window window = makeWindow(data, size, start, haplotypeCount);
            if (haplotypeCount >= haplotypeLimit) report::writeHaplotypeLimitMessage(units.console, haplotypeCount);
            WindowOutcome outcome;
            outcome.start = start;
            outcome.size = size;
            outcome.haplotypeCount = haplotypeCount;
            outcome.replicateCount = data.replicateCount;
            if (window.haplotypeCount == 0) {
                report::writeSkippedWindowMessage(units.console, start, window.lastLocus(), haplotypeCount);
                resampling::skipWindowDraws(data.familyCount, data.replicateCount, random.generator, random.seed);
                outcome.skipped = true;
            } else {
                analyseWindow(data, window, random, units, outcome);
            }
            if (observer) observer(outcome);
            units.console.flush();
            units.results.flushIfLarge();
            units.transmission.flushIfLarge();
        }
    }
}

}  // namespace

void runAnalysis(const RunOptions& options, const WindowObserver& observer) {
    (void)options;
    const int inputFd = report::openExisting(inputName);
    report::TextReader reader(inputFd, inputName);
    Units units{report::OutputUnit::console(), report::OutputUnit::createNew(transmissionName, "\r\n"),
                report::OutputUnit::createNew(resultName, "\r\n")};

    const FamilyData data = readFamilyData(reader);
    const InputProblems problems = findUnusableInput(data);
    if (!problems.empty()) throw report::InputRefused(describeUnusableInput(inputName, problems));

    analyseAllWindows(data, units, observer);

    // The reports must be complete before the run says it has ended well.
    units.transmission.finish();
    units.results.finish();
    report::writeStopLine(units.console);
    units.console.flush();
}

int runProgram(int argc, char** argv) {
    // A file-size limit must fail the write, not kill the run silently.
    std::signal(SIGXFSZ, SIG_IGN);
    const ParsedCommandLine parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
    if (!parsed.line) return parsed.exitStatus;
    try {
        runCommand(*parsed.line);
        return 0;
    } catch (const report::RunError& error) {
        std::cerr << report::describe(error);
    } catch (const report::InputRefused& refused) {
        std::cerr << refused.what();
    } catch (const std::bad_alloc&) {
        std::cerr << "triotdt: out of memory\n";
    } catch (const std::exception& error) {
        std::cerr << "triotdt: internal error: " << error.what() << "\n";
    }
    return 1;
}

}  // namespace triotdt::driver
