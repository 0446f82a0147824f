#include "report/transmission_block.h"

#include "report/reports.h"

namespace triotdt::report {
namespace {

// One per-haplotype line over every code 1..haplotypeCount of the window; the
// codes that occur in no combination print 0.
void writeIndexedLine(io::OutputUnit& unit, HaplotypeLine line, const haplotype::IndexedPhases& phases,
                      const std::vector<double>& values, double factor) {
    std::size_t next = 0;
    writeHaplotypeLine(unit, line, static_cast<std::size_t>(phases.haplotypeCount), [&](std::size_t h) {
        if (next < phases.codes.size() && static_cast<std::size_t>(phases.codes[next]) == h + 1) {
            return factor * values[next++];
        }
        return 0.0;
    });
}

}  // namespace

void writeTransmissionBlock(io::OutputUnit& unit, const haplotype::Window& window,
                            const haplotype::IndexedPhases& phases, const frequency::CountTables& counts,
                            const std::vector<double>& haplotypeFreq) {
    writeTransmissionHeading(unit, window.start, window.lastLocus());
    writeIndexedLine(unit, HaplotypeLine::transmitted, phases, counts.transmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::untransmitted, phases, counts.untransmitCount, 1.0);
    writeIndexedLine(unit, HaplotypeLine::homozygote, phases, counts.homoCount, 2.0);
    writeIndexedLine(unit, HaplotypeLine::frequency, phases, haplotypeFreq, 1.0);
}

}  // namespace triotdt::report
