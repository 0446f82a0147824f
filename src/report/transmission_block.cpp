#include "report/transmission_block.h"

#include "report/reports.h"

namespace triotdt::report {
namespace {

// One per-haplotype line over every code 1..haplotypeCount of the window; the
// codes that occur in no combination print 0.
void writeIndexedLine(io::OutputUnit& unit, HaplotypeLine line, const haplotype::Window& window,
                      std::span<const std::int32_t> codes, const std::vector<double>& values, double factor) {
    std::size_t next = 0;
    writeHaplotypeLine(unit, line, static_cast<std::size_t>(window.codeCount()), [&](std::size_t h) {
        if (next < codes.size() && static_cast<std::size_t>(codes[next]) == h + 1) return factor * values[next++];
        return 0.0;
    });
}

}  // namespace

void writeTransmissionBlock(io::OutputUnit& unit, const haplotype::Window& window, std::span<const std::int32_t> codes,
                            const frequency::CountTables& counts, const std::vector<double>& haplotypeFreq) {
    writeTransmissionHeading(unit, window.start, window.lastLocus());
    writeIndexedLine(unit, HaplotypeLine::transmitted, window, codes, counts.transmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::untransmitted, window, codes, counts.untransmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::homozygote, window, codes, counts.homoCount, 2.0);
    writeIndexedLine(unit, HaplotypeLine::frequency, window, codes, haplotypeFreq, 1.0);
}

}  // namespace triotdt::report
