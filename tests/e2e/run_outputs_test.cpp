// The run's extra outputs as a user meets them: paths checked before any file
// is created, the table on standard output, a figure that cannot be written,
// loci of several chromosomes, and runs stopped by a signal.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "e2e/trio_input.h"
#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt {
namespace {

namespace fs = std::filesystem;

using test::readFile;
using test::writeFile;

using test::filesIn;

std::ptrdiff_t linesIn(const fs::path& path) {
    const std::string text = fs::exists(path) ? readFile(path) : std::string();
    return std::count(text.begin(), text.end(), '\n');
}

const std::vector<std::string> reportsOnly = {"tdtinput.dat", "tdtout.txt", "tdttran.txt"};

// The program started in `folder`, left running, with its standard output and
// error going to files outside it.
struct StartedRun {
    pid_t pid = -1;
    std::string outPath, errPath;
};

StartedRun startProgram(const fs::path& folder, const test::ScratchFolder& capture,
                        const std::vector<std::string>& args) {
    StartedRun run{-1, (capture / "stdout").string(), (capture / "stderr").string()};
    run.pid = ::fork();
    if (run.pid == 0) {
        const int out = ::open(run.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open(run.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || ::chdir(folder.c_str()) != 0) ::_exit(126);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        std::vector<char*> argv = {const_cast<char*>(test::programPath())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(test::programPath(), argv.data());
        ::_exit(127);
    }
    return run;
}

test::RunResult waitFor(const StartedRun& run) {
    int wstatus = 0;
    while (::waitpid(run.pid, &wstatus, 0) < 0 && errno == EINTR) {
    }
    test::RunResult result;
    result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    result.signal = WIFSIGNALED(wstatus) ? WTERMSIG(wstatus) : 0;
    result.out = readFile(run.outPath);
    result.err = readFile(run.errPath);
    return result;
}

// Six trios at three loci.
const std::string smallInput = test::trioInput(6, 200, {2, 3, 2});

fs::path folderWith(const test::ScratchFolder& scratch, const std::string& name, const std::string& input) {
    const fs::path folder = scratch / name;
    fs::create_directories(folder);
    writeFile(folder / "tdtinput.dat", input);
    return folder;
}

test::RunResult runWith(const std::vector<std::string>& args, const fs::path& folder) {
    return test::runProgram(folder, args);
}

TEST(RunPaths, RefusesOutputsThatCannotBeCreatedBeforeCreatingAnything) {
    const test::ScratchFolder scratch;
    const fs::path folder = folderWith(scratch, "run", smallInput);
    fs::create_directories(folder / "sub");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string said;
    } cases[] = {
        {{"--table", "./tdtout.txt"}, 2, "--table './tdtout.txt' names the report tdtout.txt"},
        {{"--plot", "sub/../tdttran.txt.svg", "--table", "sub/../tdttran.txt"}, 2, "names the report tdttran.txt"},
        {{"--table", "x.svg", "--plot", "sub/../x.svg"},
         2,
         "--table 'x.svg' and --plot 'sub/../x.svg' name the same file"},
        {{"-C", "sub", "--table", "../sub/t.svg", "--plot", "t.svg"}, 2, "name the same file"},
        {{"--plot", "nowhere/p.svg"},
         1,
         "OPEN of file 'nowhere/p.svg'\ncannot create it: the folder 'nowhere' does not exist"},
        {{"--table", "tdtinput.dat/t.tsv"}, 1, "cannot create it: 'tdtinput.dat' is not a folder"},
        {{"--table", "sub/"}, 1, "cannot create it: it names a folder, not a file"},
    };
    for (const auto& c : cases) {
        const test::RunResult run = runWith(c.args, folder);
        EXPECT_EQ(run.status, c.status) << c.said;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"sub", "tdtinput.dat"}));
    EXPECT_TRUE(fs::is_empty(folder / "sub"));
}

TEST(RunPaths, TableOnStandardOutputLeavesTheConsoleToStandardError) {
    const test::ScratchFolder scratch;
    const fs::path plain = folderWith(scratch, "plain", smallInput);
    const test::RunResult file = runWith({"--table", "t.tsv"}, plain);
    ASSERT_EQ(file.status, 0) << file.err;
    for (const std::string path : {"-", "/dev/stdout"}) {
        const fs::path folder = folderWith(scratch, "stdout" + std::to_string(path.size()), smallInput);
        const test::RunResult piped = runWith({"--table", path}, folder);
        ASSERT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.out, readFile(plain / "t.tsv")) << path;
        EXPECT_EQ(piped.err, file.out) << path;
        EXPECT_EQ(filesIn(folder), reportsOnly);
    }
}

// The figure is written last: when it cannot be stored, no part of it and no
// table is left, and the run does not say it ended well.
TEST(RunOutputs, AFigureThatCannotBeWrittenLeavesNothingAndNoStopLine) {
    const test::ScratchFolder scratch;
    const fs::path folder = folderWith(scratch, "limit", smallInput);
    const rlim_t reports = 4096;  // the reports of the small input fit, the figure does not
    const test::RunResult run =
        test::runProgram(folder, {"--table", "t.tsv", "--plot", "p.svg"}, test::withFileSizeLimit(reports));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("WRITE of file 'p.svg'\nthe file could not be written completely"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find("Stop - Program terminated."), std::string::npos);
    EXPECT_EQ(filesIn(folder), reportsOnly);
}

TEST(RunOutputs, RefusesLociOfSeveralChromosomes) {
    const test::ScratchFolder scratch;
    const fs::path folder = folderWith(scratch, "two", smallInput);
    writeFile(
        folder / "tdtloci.tsv",
        "locus\tchromosome\tposition\tmarker\talleles\n1\t1\t100\ta\tA,C\n2\t1\t200\tb\tA,C,G\n3\t2\t50\tc\tA,T\n");
    const test::RunResult run = runWith({}, folder);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("tdtloci.tsv: the loci lie on 2 chromosomes (1, 2)"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--chromosome NAME"), std::string::npos) << run.err;
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"tdtinput.dat", "tdtloci.tsv"}));
}

// A run long enough to be stopped midway, signalled once the table has a row.
TEST(RunSignals, AnInterruptedRunRemovesTheTableAndFigureAndMarksTheReports) {
    const std::string bigInput = test::trioInput(200, 20000, std::vector<std::int32_t>(60, 3));
    for (const int signal : {SIGTERM, SIGINT}) {
        const test::ScratchFolder scratch;
        const fs::path folder = folderWith(scratch, "long", bigInput);
        const test::ScratchFolder capture;
        const StartedRun started =
            startProgram(folder, capture, {"--threads", "2", "--table", "t.tsv", "--plot", "p.svg"});
        const fs::path partTable = folder / ("t.tsv." + std::to_string(started.pid) + ".part");
        // Waits for the first row; a generous bound keeps a broken build from hanging the suite.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (linesIn(partTable) < 2 && std::chrono::steady_clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ::kill(started.pid, signal);
        const test::RunResult run = waitFor(started);

        EXPECT_EQ(run.status, 128 + signal);
        char signalName[16] = {};
        char done[32] = {};
        int first = 0;
        int last = 0;
        int consumed = 0;
        ASSERT_EQ(std::sscanf(run.err.c_str(),
                              "triotdt: interrupted by %15s after window %d-%d (%31[0-9,] of 399 windows); the reports "
                              "are incomplete%n",
                              signalName, &first, &last, done, &consumed),
                  4)
            << run.err;
        EXPECT_EQ(run.err.substr(static_cast<std::size_t>(consumed)), "\n");
        EXPECT_EQ(std::string(signalName), signal == SIGTERM ? "SIGTERM" : "SIGINT");
        EXPECT_EQ(filesIn(folder), reportsOnly);
        // The console ends with the window the message names, and no stop line.
        const std::size_t lastResult = run.out.rfind(" marker");
        ASSERT_NE(lastResult, std::string::npos);
        EXPECT_EQ(std::stoi(run.out.substr(lastResult + 7, 2)), first);
        EXPECT_EQ(std::stoi(run.out.substr(lastResult + 10, 2)), last);
        EXPECT_EQ(run.out.find("Stop - Program terminated."), std::string::npos);
        const std::string mark = "*INTERRUPTED* by " + std::string(signalName) + " after window " +
                                 std::to_string(first) + "-" + std::to_string(last) + " (" + done +
                                 " of 399 windows): this report is incomplete\r\n";
        for (const char* report : {"tdtout.txt", "tdttran.txt"}) {
            EXPECT_TRUE(readFile(folder / report).ends_with(mark)) << report;
        }
    }
}

// A signal that comes before the program has set its handler still stops a
// run or a shard with its message: the run's reports marked, no manifest.
TEST(RunSignals, OneThatComesBeforeTheHandlerIsSetStopsARunOrAShardAlike) {
    test::RunConditions early;
    early.signalPendingAtStart = SIGTERM;
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--shard", "1/2"}}) {
        const test::ScratchFolder scratch;
        const fs::path folder = folderWith(scratch, "early", smallInput);
        const test::RunResult run = test::runProgram(folder, args, early);
        EXPECT_EQ(run.status, 128 + SIGTERM);
        EXPECT_TRUE(run.err.starts_with("triotdt: interrupted by SIGTERM before the first window (0 of ") &&
                    run.err.ends_with(args.empty() ? "; the reports are incomplete\n" : "run it again\n"))
            << run.err;
        const fs::path marked = args.empty() ? folder / "tdtout.txt" : folder / "shard-1-of-2" / "manifest.tsv";
        EXPECT_EQ(fs::exists(marked) && readFile(marked).starts_with("*INTERRUPTED*"), args.empty());
    }
}

}  // namespace
}  // namespace triotdt
