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

int runCommand(const CommandLine& line) {
    changeFolder(line.folder);
    switch (line.command) {
        case Command::import:
            return import::runImport(line.import);
        case Command::merge:
            runMergeCommand(line.merge);
            return 0;
        case Command::analyse:
            break;
    }
    driver::runAnalysisCommand(line.analysis);
    return 0;
}

// The program: runs what the command line asks for and turns failures into a
// message on standard error and exit status 1 (2 for a usage error, 128 + the
// signal number for an interrupted run). Returns the exit status.
int runProgram(int argc, char** argv) {
    // A file-size limit or a reader that has gone away must fail the write
    // with a message, not kill the run without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    const driver::ParsedCommandLine parsed = driver::parseCommandLine(argc, argv, std::cout, std::cerr);
    if (!parsed.line) return parsed.exitStatus;
    try {
        return runCommand(*parsed.line);
    } catch (const driver::RunInterrupted& stopped) {
        std::cerr << driver::describeInterruption(stopped);
        return driver::interruptedExitStatus(stopped.signal);
    } catch (const driver::UsageError& error) {
        std::cerr << driver::describeUsageError(error);
        return 2;
    } catch (const io::RunError& error) {
        std::cerr << io::describe(error);
    } catch (const io::InputRefused& refused) {
        std::cerr << refused.what();
    } catch (const std::bad_alloc&) {
        std::cerr << io::describe(io::RunError(io::ErrorCode::outOfMemory, "the analysis", "out of memory"));
    } catch (const std::exception& error) {
        std::cerr << io::describe(
            io::RunError(io::ErrorCode::internalError, "the analysis", std::string("internal error: ") + error.what()));
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) { return runProgram(argc, argv); }
