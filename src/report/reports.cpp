#include "report/reports.h"

#include <string>

namespace triotdt::report {
namespace {

const Format windowSizeHeading = parseFormat("(/,1X,'the result of',1X,I4,1X,'loci system')");
const Format statisticsHeading = parseFormat("(' Results of 5 Stat:     Punamb      Pg       Pe       Pc     Pem')");
const Format haplotypeLimitMessage = parseFormat("('the number of haplotye',I10,'exceed the permited')");
const Format emWarning = parseFormat("('*WARNING* EM DOES NOT CONVERGE AFTER 200 ITERATION')");
const Format transmissionHeading = parseFormat("(/,'marker',I2,'-',I2,1X,'transfer of unambigous')");
const Format transmittedLine = parseFormat("('transmit:  ',1X,60F8.1)");
const Format untransmittedLine = parseFormat("('untransmit:',1X,60F8.1)");
const Format homozygoteLine = parseFormat("('homo Allel ',1X,60F8.1)");
const Format frequencyLine = parseFormat("('allele frq:',1X,60F8.3)");
const Format pValueLine = parseFormat("(1X,'marker',I2,'-',I2,1X,'Pvalue',1X,5F9.3)");
const Format statisticLine = parseFormat("(13X,'statis',1X,5F9.3)");

void write(OutputUnit& unit, const Format& format, std::initializer_list<FormatValue> values) {
    writeFormatted(unit.text(), format, std::span<const FormatValue>(values.begin(), values.size()), unit.lineEnd());
}

void writeFive(OutputUnit& unit, const Format& format, std::initializer_list<FormatValue> leading,
               const FiveValues& values) {
    std::vector<FormatValue> list(leading);
    list.insert(list.end(), values.begin(), values.end());
    writeFormatted(unit.text(), format, list, unit.lineEnd());
}

}  // namespace

void writeWindowSizeHeading(OutputUnit& unit, std::int32_t windowSize) {
    write(unit, windowSizeHeading, {std::int64_t{windowSize}});
}

void writeStatisticsHeading(OutputUnit& unit) { write(unit, statisticsHeading, {}); }

void writeHaplotypeLimitMessage(OutputUnit& unit, std::int64_t haplotypeCount) {
    write(unit, haplotypeLimitMessage, {haplotypeCount});
}

void writeSkippedWindowMessage(OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus,
                               std::int64_t haplotypeCount) {
    std::string& text = unit.text();
    text += "window of loci " + std::to_string(firstLocus) + " to " + std::to_string(lastLocus) +
            " skipped: its haplotypes (";
    text += haplotypeCount == INT64_MAX ? std::string("over 9223372036854775807")
                                        : std::to_string(haplotypeCount);
    text += ") cannot be numbered with 32-bit codes";
    text += unit.lineEnd();
}

void writeEmWarning(OutputUnit& unit) { write(unit, emWarning, {}); }

void writeMissingGenotypesLine(OutputUnit& unit, std::int64_t missingGenotypes) {
    unit.text() += "Missing genotypes: " + std::to_string(missingGenotypes) +
                   " (allele 0); a family takes part only in the windows where father, mother and child are "
                   "genotyped at every locus.";
    unit.text() += unit.lineEnd();
}

void writeStopLine(OutputUnit& unit) {
    unit.text() += "Stop - Program terminated.";
    unit.text() += unit.lineEnd();
}

void writePValueLine(OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus, const FiveValues& pValues) {
    writeFive(unit, pValueLine, {firstLocus, lastLocus}, pValues);
}

void writeStatisticLine(OutputUnit& unit, const FiveValues& statistics) {
    writeFive(unit, statisticLine, {}, statistics);
}

void writeTransmissionHeading(OutputUnit& unit, std::int64_t firstLocus, std::int64_t lastLocus) {
    write(unit, transmissionHeading, {firstLocus, lastLocus});
}

const Format& haplotypeLineFormat(HaplotypeLine line) {
    switch (line) {
        case HaplotypeLine::transmitted: return transmittedLine;
        case HaplotypeLine::untransmitted: return untransmittedLine;
        case HaplotypeLine::homozygote: return homozygoteLine;
        case HaplotypeLine::frequency: break;
    }
    return frequencyLine;
}

}  // namespace triotdt::report
