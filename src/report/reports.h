#pragma once

#include <array>
#include <cstdint>

#include "report/format.h"
#include "report/output_unit.h"

namespace triotdt::report {

// The lines of the console and of the two reports, each written with its
// fixed format. Files get CR LF line ends, the console "\n" (the unit knows).

void writeWindowSizeHeading(OutputUnit& unit, std::int32_t windowSize);
void writeStatisticsHeading(OutputUnit& unit);
void writeHaplotypeLimitMessage(OutputUnit& unit, std::int64_t haplotypeCount);
void writeSkippedWindowMessage(OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus,
                               std::int64_t haplotypeCount);
void writeEmWarning(OutputUnit& unit);
// Before the first heading, when the input has missing genotypes: their number and what they do.
void writeMissingGenotypesLine(OutputUnit& unit, std::int64_t missingGenotypes);
void writeStopLine(OutputUnit& unit);

// The five values of a result line, in the order Punamb, Pg, Pe, Pc, Pem.
using FiveValues = std::array<double, 5>;
void writePValueLine(OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus, const FiveValues& pValues);
void writeStatisticLine(OutputUnit& unit, const FiveValues& statistics);

void writeTransmissionHeading(OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus);

enum class HaplotypeLine { transmitted, untransmitted, homozygote, frequency };

// One per-haplotype line of a window's transmission block: `valueAt(h)` for
// h = 0 .. count - 1, sixty to a line, each line starting with the label.
// Written as it is produced, so a window of millions of haplotypes needs no
// table of that length.
template <class ValueAt>
void writeHaplotypeLine(OutputUnit& unit, HaplotypeLine line, std::size_t count, ValueAt&& valueAt);

const Format& haplotypeLineFormat(HaplotypeLine line);

template <class ValueAt>
void writeHaplotypeLine(OutputUnit& unit, HaplotypeLine line, std::size_t count, ValueAt&& valueAt) {
    writeFormatted(
        unit.text(), haplotypeLineFormat(line), count, [&](std::size_t h) { return FormatValue(valueAt(h)); },
        unit.lineEnd(), [&] { unit.flushIfLarge(); });
}

}  // namespace triotdt::report
