// A report that cannot be written completely must end the run with a message
// naming the file and exit status 1, never with the stop line and status 0;
// and what was written must be the start of the true report, not other text.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/trio_input.h"
#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt::test {
namespace {

const std::string stopLine = "Stop - Program terminated.\n";

std::string writeFailure(const std::string& file, const std::string& why) {
    return "\nrun-time error 3001: WRITE of file '" + file + "'\nthe file could not be written completely: " + why +
           "\n";
}

struct Reference {
    std::string console, transmission, results;
};

Reference referenceRun(const std::string& input) {
    ScratchFolder folder;
    folder.writeInput(input);
    const RunResult run = runProgram(folder.path());
    EXPECT_EQ(run.status, 0) << run.err;
    return {run.out, folder.read("tdttran.txt"), folder.read("tdtout.txt")};
}

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

void expectCutAt(const std::string& written, const std::string& whole, std::size_t limit) {
    EXPECT_EQ(written.size(), limit);
    EXPECT_TRUE(startsWith(whole, written)) << "the written part is not the start of the report";
}

TEST(WriteFailure, FileSizeLimitThatCutsTheTransmissionReport) {
    const std::string input = trioInput(12, 3, {2, 3, 2, 4});
    const Reference reference = referenceRun(input);
    ASSERT_TRUE(reference.console.ends_with(stopLine));

    ScratchFolder folder;
    folder.writeInput(input);
    const rlim_t limit = reference.transmission.size() / 2;
    const RunResult run = runProgram(folder.path(), {}, withFileSizeLimit(limit));

    EXPECT_EQ(run.signal, 0) << "SIGXFSZ must not kill the run";
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, writeFailure("tdttran.txt", "File too large"));
    // Every window's console lines, but not the claim of success.
    EXPECT_EQ(run.out, reference.console.substr(0, reference.console.size() - stopLine.size()));
    expectCutAt(folder.read("tdttran.txt"), reference.transmission, limit);
    EXPECT_TRUE(startsWith(reference.results, folder.read("tdtout.txt")));
}

TEST(WriteFailure, FileSizeLimitThatCutsTheResultReport) {
    // Loci of one allele make short transmission blocks, so tdtout.txt is the
    // larger report and a limit between the two sizes cuts it alone.
    const std::string input = trioInput(4, 2, std::vector<std::int32_t>(9, 1));
    const Reference reference = referenceRun(input);
    ASSERT_GT(reference.results.size(), reference.transmission.size());

    ScratchFolder folder;
    folder.writeInput(input);
    const rlim_t limit = (reference.results.size() + reference.transmission.size()) / 2;
    const RunResult run = runProgram(folder.path(), {}, withFileSizeLimit(limit));

    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, writeFailure("tdtout.txt", "File too large"));
    EXPECT_EQ(run.out.find("Stop"), std::string::npos);
    EXPECT_EQ(folder.read("tdttran.txt"), reference.transmission);
    expectCutAt(folder.read("tdtout.txt"), reference.results, limit);
}

TEST(WriteFailure, FileSizeLimitReachedInTheMiddleOfTheRun) {
    // One locus of 40000 alleles: its transmission block alone exceeds the
    // megabyte the report gathers before writing, so the write fails while
    // windows are still to come.
    const std::string input = trioInput(3, 1, {40000, 2, 3});
    const Reference reference = referenceRun(input);
    ASSERT_GT(reference.transmission.size(), std::size_t{1} << 20);

    ScratchFolder folder;
    folder.writeInput(input);
    const rlim_t limit = 100000;
    const RunResult run = runProgram(folder.path(), {}, withFileSizeLimit(limit));

    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, writeFailure("tdttran.txt", "File too large"));
    EXPECT_EQ(run.out.find("Stop"), std::string::npos);
    expectCutAt(folder.read("tdttran.txt"), reference.transmission, limit);
    EXPECT_EQ(folder.read("tdtout.txt"), "");
}

TEST(WriteFailure, LimitExactlyAtTheLargestReportIsEnough) {
    const std::string input = trioInput(12, 3, {2, 3, 2, 4});
    const Reference reference = referenceRun(input);

    ScratchFolder folder;
    folder.writeInput(input);
    const rlim_t limit = std::max(reference.transmission.size(), reference.results.size());
    const RunResult run = runProgram(folder.path(), {}, withFileSizeLimit(limit));

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, reference.console);
    EXPECT_EQ(folder.read("tdttran.txt"), reference.transmission);
    EXPECT_EQ(folder.read("tdtout.txt"), reference.results);
}

// The console carries the result lines and the stop line; when it cannot be
// written, a script that checks the exit status must learn that the output is
// lost, as for a report.
void expectConsoleFailure(Console console, const std::string& why) {
    ScratchFolder folder;
    folder.writeInput(trioInput(5, 2, {2, 2}));
    const RunResult run = runProgram(folder.path(), {}, withConsole(console));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, writeFailure("standard output", why));
}

TEST(WriteFailure, ConsoleOnAFullDevice) { expectConsoleFailure(Console::deviceFull, "No space left on device"); }

TEST(WriteFailure, ConsoleClosed) { expectConsoleFailure(Console::closed, "Bad file descriptor"); }

// The program ignores SIGPIPE itself: it ends with the message and status 1
// rather than being killed without a word.
TEST(WriteFailure, ConsoleReaderGone) { expectConsoleFailure(Console::brokenPipe, "Broken pipe"); }

}  // namespace
}  // namespace triotdt::test
