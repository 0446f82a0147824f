#include "report/window_lines.h"

#include "report/reports.h"
#include "report/transmission_block.h"

namespace triotdt::report {
namespace {

// Windows with this many haplotypes or more get a console message.
constexpr std::int64_t haplotypeLimit = 500000;

}  // namespace

void writeSizeHeadings(const ReportUnits& units, std::int32_t size, haplotype::Inheritance inheritance) {
    for (io::OutputUnit* unit : {units.console, units.results, units.transmission}) {
        writeWindowSizeHeading(*unit, size, inheritance);
    }
    for (io::OutputUnit* unit : {units.console, units.results}) writeStatisticsHeading(*unit);
}

void writeWindowLines(const ReportUnits& units, const window::WindowResult& result) {
    if (result.haplotypeCount >= haplotypeLimit) writeHaplotypeLimitMessage(*units.console, result.haplotypeCount);
    if (result.skipped) {
        writeSkippedWindowMessage(*units.console, result.start, result.lastLocus(), result.haplotypeCount);
        return;
    }
    if (!result.emConverged) writeEmWarning(*units.console);
    writeTransmissionBlock(*units.transmission, result);
    for (io::OutputUnit* unit : {units.results, units.console}) {
        writePValueLine(*unit, result.start, result.lastLocus(), result.pValues);
    }
    for (io::OutputUnit* unit : {units.results, units.console}) writeStatisticLine(*unit, result.statistics);
}

}  // namespace triotdt::report
