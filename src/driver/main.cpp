#include <csignal>
#include <exception>
#include <iostream>
#include <new>
#include <string>

#include "driver/command_line.h"
#include "driver/interruption.h"
#include "driver/run_command.h"
#include "io/run_error.h"

namespace {

using namespace triotdt;

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
        return driver::runCommand(*parsed.line);
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
