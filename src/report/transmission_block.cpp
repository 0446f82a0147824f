#include "report/transmission_block.h"

#include "report/reports.h"

namespace triotdt::report {
namespace {

// One per-haplotype line over every code 1..haplotypeCount of the window; the
// codes that occur in no combination print 0.
void writeIndexedLine(io::OutputUnit& unit, HaplotypeLine line, const window::WindowResult& result,
                      const std::vector<double>& values, double factor) {
    const std::vector<std::int32_t>& codes = result.codes;
    std::size_t next = 0;
    writeHaplotypeLine(unit, line, static_cast<std::size_t>(result.haplotypeCount), [&](std::size_t h) {
        if (next < codes.size() && static_cast<std::size_t>(codes[next]) == h + 1) return factor * values[next++];
        return 0.0;
    });
}

}  // namespace

void writeTransmissionBlock(io::OutputUnit& unit, const window::WindowResult& result) {
    writeTransmissionHeading(unit, result.start, result.lastLocus());
    writeIndexedLine(unit, HaplotypeLine::transmitted, result, result.counts.transmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::untransmitted, result, result.counts.untransmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::homozygote, result, result.counts.homoCount, 2.0);
    writeIndexedLine(unit, HaplotypeLine::frequency, result, result.haplotypeFreq, 1.0);
}

}  // namespace triotdt::report
