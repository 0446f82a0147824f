#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "io/format.h"

namespace triotdt::io {
namespace {

std::string real(double value, int width, int decimals) {
    std::string out;
    appendReal(out, value, width, decimals);
    return out;
}

std::string integer(std::int64_t value, int width) {
    std::string out;
    appendInteger(out, value, width);
    return out;
}

std::string write(std::string_view format, const std::vector<FormatValue>& values) {
    std::string out;
    writeFormatted(out, parseFormat(format), values, "\n");
    return out;
}

std::vector<FormatValue> reals(std::size_t count, double first = 1.0) {
    std::vector<FormatValue> values;
    for (std::size_t i = 0; i < count; ++i) values.emplace_back(first + static_cast<double>(i));
    return values;
}

// --- Fw.d and Iw: one field ---------------------------------------------------

TEST(RealField, ValueBelowOneHasNoZeroBeforeThePoint) {
    EXPECT_EQ(real(0.25, 8, 3), "    .250");
    EXPECT_EQ(real(0.0, 9, 3), "     .000");
    EXPECT_EQ(real(-0.5, 8, 3), "   -.500");
    EXPECT_EQ(real(0.75, 9, 3), "     .750");
}

TEST(RealField, WholeNumbersAndLargerValues) {
    EXPECT_EQ(real(3.0, 8, 1), "     3.0");
    EXPECT_EQ(real(0.0, 8, 1), "      .0");
    EXPECT_EQ(real(12.0, 8, 1), "    12.0");
    EXPECT_EQ(real(4.5, 9, 3), "    4.500");
    EXPECT_EQ(real(123.456, 9, 3), "  123.456");
    EXPECT_EQ(real(-7.25, 9, 3), "   -7.250");
}

TEST(RealField, TooWideForItsColumnsIsAllAsterisks) {
    EXPECT_EQ(real(10000000.0, 8, 1), "********");
    EXPECT_EQ(real(123456789.0, 8, 1), "********");
    // The widest values that still fit eight columns, and the first that do not.
    EXPECT_EQ(real(999999.9, 8, 1), "999999.9");
    EXPECT_EQ(real(1000000.0, 8, 1), "********");
    EXPECT_EQ(real(-99999.9, 8, 1), "-99999.9");
    EXPECT_EQ(real(-100000.0, 8, 1), "********");
    // Rounding can carry a value out of its columns.
    EXPECT_EQ(real(999999.96, 8, 1), "********");
    EXPECT_EQ(real(99999.9999, 9, 3), "*********");
}

TEST(RealField, HalfWayOnTheExactBinaryValueRoundsAwayFromZero) {
    // k/16 is exact in binary: a true half-way case, rounded up in magnitude
    // (C's printf rounds such ties to even and would print .062 and .312).
    EXPECT_EQ(real(0.0625, 8, 3), "    .063");
    EXPECT_EQ(real(0.3125, 8, 3), "    .313");
    EXPECT_EQ(real(0.5625, 9, 3), "     .563");
    EXPECT_EQ(real(-0.0625, 8, 3), "   -.063");
    EXPECT_EQ(real(0.25, 8, 1), "      .3");
    EXPECT_EQ(real(2.5, 8, 0), "      3.");
    // 0.0005 is stored a little above half-way: .001 under any rule.
    EXPECT_EQ(real(0.0005, 8, 3), "    .001");
}

TEST(RealField, DecimalTiesStoredBelowHalfWayRoundDown) {
    // These look half-way in decimal but are stored just below it.
    EXPECT_EQ(real(0.1235, 8, 3), "    .123");
    EXPECT_EQ(real(0.15, 8, 1), "      .1");
    EXPECT_EQ(real(2.675, 8, 2), "    2.67");
}

TEST(RealField, RoundingCarriesIntoTheIntegerPart) {
    EXPECT_EQ(real(0.9995, 8, 3), "   1.000");
    EXPECT_EQ(real(9.9996, 8, 3), "  10.000");
    EXPECT_EQ(real(0.96, 8, 1), "     1.0");
}

TEST(IntegerField, RightJustifiedOrAsterisks) {
    EXPECT_EQ(integer(7, 2), " 7");
    EXPECT_EQ(integer(99, 2), "99");
    EXPECT_EQ(integer(100, 2), "**");
    EXPECT_EQ(integer(-9, 2), "-9");
    EXPECT_EQ(integer(-10, 2), "**");
    EXPECT_EQ(integer(3, 4), "   3");
    EXPECT_EQ(integer(500000, 10), "    500000");
    EXPECT_EQ(integer(12345678901, 10), "**********");
}

// --- Whole write statements ---------------------------------------------------

TEST(WriteStatement, LiteralsBlanksAndValuesInOrder) {
    EXPECT_EQ(write("(1X,'marker',I2,'-',I2,1X,'Pvalue',1X,5F9.3)",
                    {std::int64_t{1}, std::int64_t{3}, 0.775, 0.5, 0.0, 1.0, 0.0625}),
              " marker 1- 3 Pvalue      .775     .500     .000    1.000     .063\n");
    EXPECT_EQ(write("(13X,'statis',1X,5F9.3)", {0.286, 0.154, 0.0, 12.5, 3.0}),
              "             statis      .286     .154     .000   12.500    3.000\n");
}

TEST(WriteStatement, ALiteralOnlyFormatWritesOneLine) {
    EXPECT_EQ(write("('*WARNING* EM DOES NOT CONVERGE AFTER 200 ITERATION')", {}),
              "*WARNING* EM DOES NOT CONVERGE AFTER 200 ITERATION\n");
}

TEST(WriteStatement, LeadingSlashWritesAnEmptyLineFirst) {
    EXPECT_EQ(write("(/,1X,'the result of',1X,I4,1X,'loci system')", {std::int64_t{3}}),
              "\n the result of    3 loci system\n");
    EXPECT_EQ(write("(/,'marker',I2,'-',I2,1X,'transfer of unambigous')", {std::int64_t{2}, std::int64_t{4}}),
              "\nmarker 2- 4 transfer of unambigous\n");
}

TEST(WriteStatement, AfterTheLastValueOutputRunsOnThroughLiteralsToTheNextDataDescriptor) {
    EXPECT_EQ(write("(1X,'marker',I2,'-',I2,1X,'Pvalue',1X,5F9.3)", {std::int64_t{1}, std::int64_t{3}}),
              " marker 1- 3 Pvalue \n");
    EXPECT_EQ(write("('the number of haplotye',I10,'exceed the permited')", {std::int64_t{500000}}),
              "the number of haplotye    500000exceed the permited\n");
    EXPECT_EQ(write("('a',I2,'b',I2,'c')", {std::int64_t{1}}), "a 1b\n");
    EXPECT_EQ(write("('allele frq:',1X,60F8.3)", {}), "allele frq: \n");
}

TEST(WriteStatement, SixtyValuesFillOneLine) {
    const std::string out = write("('transmit:  ',1X,60F8.1)", reals(60));
    EXPECT_EQ(out.size(), 12u + 60u * 8u + 1u);
    EXPECT_EQ(out.find('\n'), out.size() - 1);
    EXPECT_EQ(out.substr(0, 20), "transmit:        1.0");
    EXPECT_EQ(out.substr(out.size() - 9), "    60.0\n");
}

TEST(WriteStatement, MoreValuesThanTheFormatHoldsStartTheFormatAgainOnANewLine) {
    const std::string out = write("('transmit:  ',1X,60F8.1)", reals(64));
    std::string expected = "transmit:   ";
    for (int i = 1; i <= 60; ++i) expected += real(i, 8, 1);
    expected += "\ntransmit:       61.0    62.0    63.0    64.0\n";
    EXPECT_EQ(out, expected);

    const std::string three = write("('allele frq:',1X,60F8.3)", reals(121, 0.0));
    EXPECT_EQ(std::count(three.begin(), three.end(), '\n'), 3);
    EXPECT_NE(three.find("\nallele frq:  120.000\n"), std::string::npos);
}

TEST(WriteStatement, ReversionRepeatsALeadingSlash) {
    EXPECT_EQ(write("(/,'a',I2)", {std::int64_t{1}, std::int64_t{2}}), "\na 1\n\na 2\n");
}

TEST(WriteStatement, RepeatCountsExpandAndQuotesInLiteralsAreDoubled) {
    EXPECT_EQ(write("(2I3,'it''s')", {std::int64_t{1}, std::int64_t{2}}), "  1  2it's\n");
    EXPECT_THROW(parseFormat("(I2"), std::logic_error);
    EXPECT_THROW(parseFormat("(Q2)"), std::logic_error);
}

TEST(WriteStatement, EachLineEndsWithTheUnitsLineEnd) {
    std::string out;
    writeFormatted(out, parseFormat("(/,'marker',I2,'-',I2,1X,'transfer of unambigous')"),
                   std::vector<FormatValue>{std::int64_t{1}, std::int64_t{1}}, "\r\n");
    EXPECT_EQ(out, "\r\nmarker 1- 1 transfer of unambigous\r\n");
}

}  // namespace
}  // namespace triotdt::io
