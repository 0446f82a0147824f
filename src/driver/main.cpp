#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <new>
#include <string>

#include "driver/analysis_command.h"
#include "driver/command_line.h"
#include "driver/interruption.h"
#include "driver/output_paths.h"
#include "import/import_command.h"
#include "import/import_error.h"
#include "io/run_error.h"
#include "shard/merge_command.h"

namespace {

using namespace triotdt;
using driver::Command;
using driver::CommandLine;

void changeFolder(const std::string& folder) {
    if (folder.empty()) return;
    if (::chdir(folder.c_str()) != 0) {
        throw io::RunError(io::ErrorCode::openFailed, "CHANGE into folder '" + folder + "' (-C)",
                           std::string("cannot change into it: ") + std::strerror(errno));
    }
}

void runMergeCommand(shard::MergeOptions options) {
    driver::checkOutputPaths(options.tablePath, options.plotPath);
    options.tableOnStandardOutput = !options.tablePath.empty() && driver::namesStandardOutput(options.tablePath);
    shard::runMerge(options);
}

void runCombineCommand(combine::CombineOptions options) {
    driver::checkOutputPaths(options.tablePath, options.plotPath);
    options.tableOnStandardOutput = !options.tablePath.empty() && driver::namesStandardOutput(options.tablePath);
    combine::runCombine(options);
}

void runCommand(const CommandLine& line) {
    switch (line.command) {
        case Command::analyse:
            return driver::runAnalysisCommand(line.analysis);
        case Command::import:
            return import::runImport(line.import);
        case Command::merge:
            return runMergeCommand(line.merge);
        case Command::combine:
            return runCombineCommand(line.combine);
    }
}

// The one place where a failure becomes a message on standard error and an
// exit status: 1, 2 for a usage error, 128 + the signal number for an
// interrupted run. `named` is the command that failed when it names itself
// on its messages (the import: "triotdt import: ..."); the analysis, a shard,
// the merge and the program itself write a file's failure in the run-time
// error form of the reports.
int reportFailure(const std::string& named) {
    const std::string prefix = named.empty() ? std::string() : "triotdt " + named + ": ";
    try {
        throw;
    } catch (const driver::RunInterrupted& stopped) {
        std::cerr << driver::describeInterruption(stopped);
        return driver::interruptedExitStatus(stopped.signal);
    } catch (const driver::Interrupted& stopped) {
        // The import and the combine stop this way, their files removed as this unwound.
        std::cerr << prefix << driver::describeInterruption(stopped) << "; none of its files was written\n";
        return driver::interruptedExitStatus(stopped.signal);
    } catch (const driver::UsageError& error) {
        std::cerr << driver::describeUsageError(error);
        return 2;
    } catch (const import::ImportError& error) {
        std::cerr << prefix << error.what() << "\n";
    } catch (const io::RunError& error) {
        std::cerr << (named.empty() ? io::describe(error) : prefix + error.statement + ": " + error.reason + "\n");
    } catch (const io::InputRefused& refused) {
        std::cerr << refused.what();
    } catch (const std::bad_alloc&) {
        std::cerr << (named.empty()
                          ? io::describe(io::RunError(io::ErrorCode::outOfMemory, "the analysis", "out of memory"))
                          : prefix + "out of memory\n");
    } catch (const std::exception& error) {
        const std::string what = std::string("internal error: ") + error.what();
        std::cerr << (named.empty() ? io::describe(io::RunError(io::ErrorCode::internalError, "the analysis", what))
                                    : prefix + what + "\n");
    }
    return 1;
}

// How the command takes SIGINT and SIGTERM: a run, a shard, a merge, an
// import or a combine stops between pieces of its work and says so; the
// shard plan, which creates no file, ends at once.
void chooseInterruptions(const CommandLine& line) {
    if (line.command == Command::import || line.command == Command::combine) {
        return driver::catchInterruptions(driver::SecondSignal::changesNothing);
    }
    if (line.command == Command::analyse && line.analysis.shardPlanCount > 0) return driver::releaseInterruptions();
    driver::catchInterruptions();
}

// The program: runs what the command line asks for. Returns the exit status.
int runProgram(int argc, char** argv) {
    driver::deferInterruptions();
    // A file-size limit or a reader that has gone away must fail the write
    // with a message, not kill the run without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    const driver::ParsedCommandLine parsed = driver::parseCommandLine(argc, argv, std::cout, std::cerr);
    if (!parsed.line) {
        driver::releaseInterruptions();
        return parsed.exitStatus;
    }
    const CommandLine& line = *parsed.line;
    chooseInterruptions(line);
    std::string named;  // the -C folder is the program's, not the command's
    try {
        changeFolder(line.folder);
        if (line.command == Command::import) named = "import";
        if (line.command == Command::combine) named = "combine";
        runCommand(line);
        return 0;
    } catch (...) {
        return reportFailure(named);
    }
}

}  // namespace

int main(int argc, char** argv) { return runProgram(argc, argv); }
