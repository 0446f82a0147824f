#include "report/reports.h"

#include <algorithm>
#include <string>

namespace triotdt::report {
namespace {

const io::Format windowSizeHeading = io::parseFormat("(/,1X,'the result of',1X,I4,1X,'loci system')");
const io::Format xLinkedSizeHeading =
    io::parseFormat("(/,1X,'the result of',1X,I4,1X,'loci system, X-linked: transmissions of mothers')");
const io::Format statisticsHeading =
    io::parseFormat("(' Results of 5 Stat:     Punamb      Pg       Pe       Pc     Pem')");
const io::Format haplotypeLimitMessage = io::parseFormat("('the number of haplotye',I10,'exceed the permited')");
const io::Format emWarning = io::parseFormat("('*WARNING* EM DOES NOT CONVERGE AFTER 200 ITERATION')");
const io::Format transmissionHeading = io::parseFormat("(/,'marker',I2,'-',I2,1X,'transfer of unambigous')");
const io::Format transmittedLine = io::parseFormat("('transmit:  ',1X,60F8.1)");
const io::Format untransmittedLine = io::parseFormat("('untransmit:',1X,60F8.1)");
const io::Format homozygoteLine = io::parseFormat("('homo Allel ',1X,60F8.1)");
const io::Format frequencyLine = io::parseFormat("('allele frq:',1X,60F8.3)");
const io::Format pValueLine = io::parseFormat("(1X,'marker',I2,'-',I2,1X,'Pvalue',1X,5F9.3)");
const io::Format statisticLine = io::parseFormat("(13X,'statis',1X,5F9.3)");

void write(io::OutputUnit& unit, const io::Format& format, std::initializer_list<io::FormatValue> values) {
    io::writeFormatted(unit.text(), format, std::span<const io::FormatValue>(values.begin(), values.size()),
                       unit.lineEnd());
}

void writeFive(io::OutputUnit& unit, const io::Format& format, std::initializer_list<io::FormatValue> leading,
               const statistics::FiveStatistics& values) {
    std::vector<io::FormatValue> list(leading);
    list.insert(list.end(), values.begin(), values.end());
    io::writeFormatted(unit.text(), format, list, unit.lineEnd());
}

}  // namespace

void writeWindowSizeHeading(io::OutputUnit& unit, std::int32_t windowSize, haplotype::Inheritance inheritance) {
    const bool xLinked = inheritance == haplotype::Inheritance::xLinked;
    write(unit, xLinked ? xLinkedSizeHeading : windowSizeHeading, {std::int64_t{windowSize}});
}

void writeStatisticsHeading(io::OutputUnit& unit) { write(unit, statisticsHeading, {}); }

void writeHaplotypeLimitMessage(io::OutputUnit& unit, std::int64_t haplotypeCount) {
    write(unit, haplotypeLimitMessage, {haplotypeCount});
}

void writeSkippedWindowMessage(io::OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus,
                               std::int64_t haplotypeCount) {
    std::string& text = unit.text();
    text += "window of loci " + std::to_string(firstLocus) + " to " + std::to_string(lastLocus) +
            " skipped: its haplotypes (";
    text += haplotypeCount == INT64_MAX ? std::string("over 9223372036854775807") : std::to_string(haplotypeCount);
    text += ") cannot be numbered with 32-bit codes";
    text += unit.lineEnd();
}

void writeEmWarning(io::OutputUnit& unit) { write(unit, emWarning, {}); }

void writeInputLines(io::OutputUnit& unit, const haplotype::FamilyData& data, std::int64_t missingGenotypes) {
    const bool xLinked = data.inheritance == haplotype::Inheritance::xLinked;
    if (xLinked) {
        const auto sons = std::count(data.childSex.begin(), data.childSex.end(), haplotype::ChildSex::son);
        const auto daughters = static_cast<std::int64_t>(data.childSex.size()) - sons;
        unit.text() += "Chromosome X: " + std::to_string(sons) + (sons == 1 ? " son and " : " sons and ") +
                       std::to_string(daughters) + (daughters == 1 ? " daughter" : " daughters") +
                       "; only the mothers' transmissions are counted (a father gives his X to daughters alone).";
        unit.text() += unit.lineEnd();
    }
    if (missingGenotypes == 0) return;
    unit.text() += "Missing genotypes: " + std::to_string(missingGenotypes) + " (allele 0); a family takes part only " +
                   (xLinked ? "in the windows where mother and child are genotyped at every locus (a daughter's "
                              "father may be missing)."
                            : "in the windows where father, mother and child are genotyped at every locus.");
    unit.text() += unit.lineEnd();
}

void writeResamplingLine(io::OutputUnit& unit, const resampling::ResamplingRule& rule, std::int32_t replicateCount) {
    unit.text() +=
        "Resampling: counter-based exchange stream (Philox4x32-10), seed " + std::to_string(*rule.seed) + "; ";
    if (rule.adaptive()) {
        unit.text() += "adaptive replicates: " + std::to_string(resampling::firstBatchEnd(rule, replicateCount)) +
                       " in every window, doubled until every statistic has " +
                       std::to_string(static_cast<int>(resampling::exceedancesToStop)) + " exceedances, at most " +
                       std::to_string(rule.maxReplicates) + ".";
    } else {
        unit.text() += std::to_string(replicateCount) + " replicates in every window.";
    }
    if (rule.familyWise) {
        unit.text() += " Family-wise p-values from the first " +
                       std::to_string(resampling::firstBatchEnd(rule, replicateCount)) + " of every window.";
    }
    unit.text() += unit.lineEnd();
}

void writeStopLine(io::OutputUnit& unit) {
    unit.text() += "Stop - Program terminated.";
    unit.text() += unit.lineEnd();
}

void writePValueLine(io::OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus,
                     const statistics::FiveStatistics& pValues) {
    writeFive(unit, pValueLine, {firstLocus, lastLocus}, pValues);
}

void writeStatisticLine(io::OutputUnit& unit, const statistics::FiveStatistics& statistics) {
    writeFive(unit, statisticLine, {}, statistics);
}

void writeTransmissionHeading(io::OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus) {
    write(unit, transmissionHeading, {firstLocus, lastLocus});
}

const io::Format& haplotypeLineFormat(HaplotypeLine line) {
    switch (line) {
        case HaplotypeLine::transmitted:
            return transmittedLine;
        case HaplotypeLine::untransmitted:
            return untransmittedLine;
        case HaplotypeLine::homozygote:
            return homozygoteLine;
        case HaplotypeLine::frequency:
            break;
    }
    return frequencyLine;
}

}  // namespace triotdt::report
