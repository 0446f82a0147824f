#pragma once

#include <array>
#include <cstdint>

#include "haplotype/family_data.h"
#include "io/format.h"
#include "io/output_unit.h"
#include "resampling/resampling_rule.h"
#include "statistics/five_statistics.h"

namespace triotdt::report {

// The lines of the console and of the two reports, each written with its
// fixed format. Files get CR LF line ends, the console "\n" (the unit knows).

void writeWindowSizeHeading(io::OutputUnit& unit, std::int32_t windowSize, haplotype::Inheritance inheritance);
void writeStatisticsHeading(io::OutputUnit& unit);
void writeHaplotypeLimitMessage(io::OutputUnit& unit, std::int64_t haplotypeCount);
void writeSkippedWindowMessage(io::OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus,
                               std::int64_t haplotypeCount);
void writeEmWarning(io::OutputUnit& unit);
// Before the first heading: on X, how many sons and daughters the families
// have and that only mothers count; then, when the input has missing
// genotypes, their number and what they do.
void writeInputLines(io::OutputUnit& unit, const haplotype::FamilyData& data, std::int64_t missingGenotypes);
// Before the first heading, when the counter-based stream makes the p-values:
// the stream, its seed and the replicates, so that the run can be repeated.
void writeResamplingLine(io::OutputUnit& unit, const resampling::ResamplingRule& rule, std::int32_t replicateCount);
void writeStopLine(io::OutputUnit& unit);

// The five values of a result line, in the order of statistics::Statistic.
void writePValueLine(io::OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus,
                     const statistics::FiveStatistics& pValues);
void writeStatisticLine(io::OutputUnit& unit, const statistics::FiveStatistics& statistics);

void writeTransmissionHeading(io::OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus);

enum class HaplotypeLine { transmitted, untransmitted, homozygote, frequency };

// One per-haplotype line of a window's transmission block: `valueAt(h)` for
// h = 0 .. count - 1, sixty to a line, each line starting with the label.
// Written as it is produced, so a window of millions of haplotypes needs no
// table of that length.
template <class ValueAt>
void writeHaplotypeLine(io::OutputUnit& unit, HaplotypeLine line, std::size_t count, ValueAt&& valueAt);

const io::Format& haplotypeLineFormat(HaplotypeLine line);

template <class ValueAt>
void writeHaplotypeLine(io::OutputUnit& unit, HaplotypeLine line, std::size_t count, ValueAt&& valueAt) {
    io::writeFormatted(
        unit.text(), haplotypeLineFormat(line), count, [&](std::size_t h) { return io::FormatValue(valueAt(h)); },
        unit.lineEnd(), [&] { unit.flushIfLarge(); });
}

}  // namespace triotdt::report
