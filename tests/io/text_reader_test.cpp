#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "io/run_error.h"
#include "io/text_reader.h"
#include "support/test_support.h"

namespace triotdt::io {
namespace {

using Values = std::vector<std::int32_t>;

TextReader readerOf(std::string text) { return TextReader::fromText(std::move(text), "tdtinput.dat"); }

Values read(TextReader& reader, std::int64_t count) {
    Values values;
    reader.readIntegers(count, "a record", values);
    return values;
}

// Reads statements of the given sizes one after another.
std::vector<Values> readStatements(std::string text, const std::vector<std::int64_t>& sizes) {
    TextReader reader = readerOf(std::move(text));
    std::vector<Values> statements;
    for (const std::int64_t size : sizes) statements.push_back(read(reader, size));
    return statements;
}

// The error a read statement of `count` values on `text` ends with.
RunError errorOf(std::string text, std::int64_t count, const TextReader::ValueDescriber& describe = {}) {
    TextReader reader = readerOf(std::move(text));
    Values values;
    try {
        reader.readIntegers(count, "family 3, mother's record", values, describe);
    } catch (const RunError& error) {
        return error;
    }
    ADD_FAILURE() << "no error; read " << values.size() << " values";
    return RunError(ErrorCode::internalError, "", "");
}

// Every error names the file, the statement and the line.
void expectPlace(const RunError& error, const std::string& line) {
    EXPECT_NE(error.statement.find("READ of file 'tdtinput.dat'"), std::string::npos) << error.statement;
    EXPECT_NE(error.statement.find("family 3, mother's record"), std::string::npos) << error.statement;
    EXPECT_NE(error.reason.find(line), std::string::npos) << error.reason;
}

// --- Layouts that read the same -----------------------------------------------

TEST(FreeFormLayout, AStatementSpreadOverLinesReadsLikeOneLine) {
    const std::vector<Values> oneLine = readStatements("1 2 3 4 5 6\n7\n", {6, 1});
    const std::vector<Values> spread = readStatements("1\n2 3\n\n4\n  5 6\n7\n", {6, 1});
    EXPECT_EQ(oneLine, (std::vector<Values>{{1, 2, 3, 4, 5, 6}, {7}}));
    EXPECT_EQ(spread, oneLine);
}

TEST(FreeFormLayout, ExtraValuesOnTheLastLineAreLostAndTheNextStatementStartsOnTheNextLine) {
    EXPECT_EQ(readStatements("1 2 3 99\n4 5 6\n", {3, 3}), (std::vector<Values>{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(readStatements("1\n2 3 99 98\n4\n", {3, 1}), (std::vector<Values>{{1, 2, 3}, {4}}));
    // Whatever follows the values is skipped unread, even text.
    EXPECT_EQ(readStatements("2   families, 3 of them new\n1000 replicates\n", {1, 1}),
              (std::vector<Values>{{2}, {1000}}));
}

TEST(FreeFormLayout, CommasBlanksAndTabsSeparateValues) {
    EXPECT_EQ(readStatements("1,2 , 3 ,4\t5\t,\t6\n", {6}), (std::vector<Values>{{1, 2, 3, 4, 5, 6}}));
    // A comma at the end of a line separates it from the next line's values.
    EXPECT_EQ(readStatements("1,2,\n3\n", {3}), (std::vector<Values>{{1, 2, 3}}));
    EXPECT_EQ(readStatements("1,2,\n3,\n4\n", {2, 1, 1}), (std::vector<Values>{{1, 2}, {3}, {4}}));
}

TEST(FreeFormLayout, SignsAndLeadingZeros) {
    EXPECT_EQ(readStatements("+7 -3 007 -0 +0 -012 0000000000000000000000000000042\n", {7}),
              (std::vector<Values>{{7, -3, 7, 0, 0, -12, 42}}));
    EXPECT_EQ(readStatements("2147483647 -2147483648\n", {2}),
              (std::vector<Values>{{2147483647, -2147483647 - 1}}));
}

TEST(FreeFormLayout, BlankLinesAreSkipped) {
    EXPECT_EQ(readStatements("\n\n   \n5\n\n\n6 7\n\n8\n", {1, 2, 1}), (std::vector<Values>{{5}, {6, 7}, {8}}));
}

TEST(FreeFormLayout, CrLfLineEndsReadLikeLf) {
    const std::string lf = "2\n1000\n3\n2 3\n4\n1 2 3 1 4 4 9\n2 2\n1 2 1 3\n";
    std::string crlf;
    for (const char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const std::vector<std::int64_t> sizes{1, 1, 1, 3, 6, 6};
    EXPECT_EQ(readStatements(crlf, sizes), readStatements(lf, sizes));
    EXPECT_EQ(readStatements(crlf, sizes).back(), (Values{2, 2, 1, 2, 1, 3}));
}

TEST(FreeFormLayout, TheLastLineNeedsNoLineEnd) {
    EXPECT_EQ(readStatements("1\n2 3", {1, 2}), (std::vector<Values>{{1}, {2, 3}}));
}

// --- Errors ---------------------------------------------------------------------

TEST(FreeFormErrors, EndOfFileNamesTheFileTheStatementAndTheLastLine) {
    const RunError error = errorOf("1 2\n\n3\n", 6);
    EXPECT_EQ(error.code, ErrorCode::endOfFile);
    expectPlace(error, "line 3");
    EXPECT_NE(error.reason.find("end of file"), std::string::npos) << error.reason;
    EXPECT_NE(error.reason.find("needs 6 values"), std::string::npos) << error.reason;
    EXPECT_NE(error.reason.find("after 3"), std::string::npos) << error.reason;
    // Without a line end after the last value the last line is the same.
    EXPECT_NE(errorOf("1 2\n\n3", 6).reason.find("line 3"), std::string::npos);
    // Blank lines at the end are lines of the file too.
    EXPECT_NE(errorOf("1 2\n\n", 6).reason.find("line 2"), std::string::npos);
}

TEST(FreeFormErrors, AnEmptyFileEndsAtOnce) {
    const RunError error = errorOf("", 1);
    EXPECT_EQ(error.code, ErrorCode::endOfFile);
    EXPECT_NE(error.reason.find("end of file"), std::string::npos) << error.reason;
    EXPECT_NE(error.reason.find("the file is empty"), std::string::npos) << error.reason;
    // One empty line is not an empty file.
    EXPECT_NE(errorOf("\n", 1).reason.find("line 1"), std::string::npos);
}

TEST(FreeFormErrors, AStatementOfMoreValuesThanTheFileHoldsFailsAtTheEnd) {
    EXPECT_EQ(errorOf("1 2 3\n", 2000000000).code, ErrorCode::endOfFile);
}

TEST(FreeFormErrors, AnInvalidTokenNamesItsLineItsPlaceInTheStatementAndWhatItIs) {
    const auto describe = [](std::int64_t i) {
        return "locus " + std::to_string(i / 2 + 1) + (i % 2 == 0 ? ", first allele" : ", second allele");
    };
    const RunError error = errorOf("1 2\n3 x4 5\n", 6, describe);
    EXPECT_EQ(error.code, ErrorCode::invalidNumber);
    expectPlace(error, "line 2");
    EXPECT_NE(error.reason.find("invalid number 'x4'"), std::string::npos) << error.reason;
    EXPECT_NE(error.reason.find("value 4 of 6"), std::string::npos) << error.reason;
    EXPECT_NE(error.reason.find("locus 2, second allele"), std::string::npos) << error.reason;
}

TEST(FreeFormErrors, TokensThatAreNotWholeNumbers) {
    for (const char* token : {"1.5", "1e3", "-", "+", "--1", "1-2", "0x1F", "abc", "1;"}) {
        const RunError error = errorOf(std::string("7 ") + token + " 8\n", 3);
        EXPECT_EQ(error.code, ErrorCode::invalidNumber) << token;
        EXPECT_NE(error.reason.find("not a whole number"), std::string::npos) << token << ": " << error.reason;
        expectPlace(error, "line 1");
    }
}

TEST(FreeFormErrors, ValuesBeyond32BitsAreInvalid) {
    for (const char* token : {"2147483648", "-2147483649", "4294967297", "99999999999999999999999999999999"}) {
        const RunError error = errorOf(std::string(token) + "\n", 1);
        EXPECT_EQ(error.code, ErrorCode::invalidNumber) << token;
        EXPECT_NE(error.reason.find("outside the range of 32-bit integers"), std::string::npos) << error.reason;
        expectPlace(error, "line 1");
    }
}

TEST(FreeFormErrors, TwoCommasInARowLeaveAnEmptyValue) {
    for (const char* text : {"1,,2\n", "1, ,2\n", ",1 2\n"}) {
        const RunError error = errorOf(text, 2);
        EXPECT_EQ(error.code, ErrorCode::invalidNumber) << text;
        EXPECT_NE(error.reason.find("empty value between commas"), std::string::npos) << error.reason;
        expectPlace(error, "line 1");
    }
    const RunError acrossLines = errorOf("1,\n,2\n", 2);
    EXPECT_EQ(acrossLines.code, ErrorCode::invalidNumber);
    expectPlace(acrossLines, "line 2");
}

TEST(FreeFormErrors, LineNumbersCountCrLfLinesAndBlankLines) {
    TextReader reader = readerOf("1\r\n\r\n2\r\n\r\n3 q\r\n");
    EXPECT_EQ(reader.readInteger("first"), 1);
    EXPECT_EQ(reader.readInteger("second"), 2);
    try {
        read(reader, 2);
        FAIL() << "no error";
    } catch (const RunError& error) {
        EXPECT_NE(error.reason.find("line 5"), std::string::npos) << error.reason;
    }
}

TEST(FreeFormErrors, TheMessageOnStandardErrorHasTheCodeTheStatementAndTheReasonOnLinesOfTheirOwn) {
    const RunError error = errorOf("1 2\n", 3);
    EXPECT_EQ(describe(error), "\nrun-time error 2001: " + error.statement + "\n" + error.reason + "\n");
}

// --- Reading a file ---------------------------------------------------------------

class FileReading : public ::testing::Test {
protected:
    TextReader open(const std::string& text) {
        const auto path = folder / "tdtinput.dat";
        test::writeFile(path, text);
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) throw std::runtime_error("cannot open the test input");
        return TextReader(FileDescriptor(fd), "tdtinput.dat");  // the reader closes it
    }
    test::ScratchFolder folder;
};

// The reader holds the file in pieces; values, line ends and skipped
// remainders that straddle two pieces must read as if the file were whole.
TEST_F(FileReading, ValuesAndLinesAcrossLargeFiles) {
    std::string text;
    Values expected;
    for (std::int32_t i = 0; i < 40000; ++i) {
        expected.push_back(i * 37 - 500000);
        text += std::to_string(expected.back()) + (i % 11 == 10 ? "\r\n" : " ");
    }
    text += std::string(70000, 'x') + "\n";  // a remainder longer than any piece
    TextReader reader = open("5 and a comment " + std::string(70000, 'y') + "\n" + text + "6\n");
    EXPECT_EQ(reader.readInteger("first"), 5);
    EXPECT_EQ(read(reader, 40000), expected);
    EXPECT_EQ(reader.readInteger("after"), 6);
}

TEST_F(FileReading, EndOfAFileNamesItsLastLine) {
    TextReader reader = open("1\n2\n3\n");
    try {
        read(reader, 4);
        FAIL() << "no error";
    } catch (const RunError& error) {
        EXPECT_EQ(error.code, ErrorCode::endOfFile);
        EXPECT_NE(error.reason.find("line 3"), std::string::npos) << error.reason;
    }
}

}  // namespace
}  // namespace triotdt::io
