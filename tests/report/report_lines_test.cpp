// The lines of the reports and the console, each with its fixed format.
#include <gtest/gtest.h>

#include <string>

#include "io/output_unit.h"
#include "report/reports.h"

namespace triotdt::report {
namespace {

using io::OutputUnit;

// The console unit gathers its text until it is flushed, so the lines can be
// looked at without writing anything.
TEST(ReportLines, PValuesStandAboveTheirStatisticsInColumns21To65) {
    OutputUnit unit = OutputUnit::console();
    writePValueLine(unit, 1, 3, {0.775, 0.5, 0.0, 1.0, 0.0625});
    writeStatisticLine(unit, {0.286, 12.5, 0.0, 3.0, 100.0});
    const std::string& text = unit.text();
    const std::string pLine = text.substr(0, text.find('\n'));
    const std::string sLine = text.substr(pLine.size() + 1, text.size() - pLine.size() - 2);
    ASSERT_EQ(pLine.size(), 65u);
    ASSERT_EQ(sLine.size(), 65u);
    EXPECT_EQ(pLine.substr(0, 20), " marker 1- 3 Pvalue ");
    EXPECT_EQ(sLine.substr(0, 20), "             statis ");
    for (std::size_t field = 0; field < 5; ++field) {
        const std::size_t point = 20 + 9 * field + 5;  // 0-based column of the decimal point
        EXPECT_EQ(pLine[point], '.') << "field " << field;
        EXPECT_EQ(sLine[point], '.') << "field " << field;
    }
}

TEST(ReportLines, LocusNumbersAbove99PrintAsAsterisks) {
    OutputUnit unit = OutputUnit::console();
    writePValueLine(unit, 100, 106, {0.5, 0.5, 0.5, 0.5, 0.5});
    writeTransmissionHeading(unit, 99, 105);
    EXPECT_EQ(unit.text(),
              " marker**-** Pvalue      .500     .500     .500     .500     .500\n"
              "\nmarker99-** transfer of unambigous\n");
}

TEST(ReportLines, HeadingsAndMessages) {
    OutputUnit unit = OutputUnit::console();
    writeWindowSizeHeading(unit, 7, haplotype::Inheritance::autosomal);
    writeStatisticsHeading(unit);
    writeHaplotypeLimitMessage(unit, 500000);
    writeEmWarning(unit);
    writeStopLine(unit);
    EXPECT_EQ(unit.text(),
              "\n the result of    7 loci system\n"
              " Results of 5 Stat:     Punamb      Pg       Pe       Pc     Pem\n"
              "the number of haplotye    500000exceed the permited\n"
              "*WARNING* EM DOES NOT CONVERGE AFTER 200 ITERATION\n"
              "Stop - Program terminated.\n");
}

TEST(ReportLines, APerHaplotypeLineOf64ValuesContinuesOnASecondLabelledLine) {
    OutputUnit unit = OutputUnit::console();
    writeHaplotypeLine(unit, HaplotypeLine::homozygote, 64, [](std::size_t h) { return h == 63 ? 2.0 : 0.0; });
    std::string expected = "homo Allel  ";
    for (int i = 0; i < 60; ++i) expected += "      .0";
    expected += "\nhomo Allel        .0      .0      .0     2.0\n";
    EXPECT_EQ(unit.text(), expected);
}

}  // namespace
}  // namespace triotdt::report
