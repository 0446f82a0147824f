#pragma once

// The one way the tests run the built program: in a folder of their choice,
// with arguments, standard input and resource limits as asked, capturing
// standard output, standard error, the exit status and the files left.

#include <sys/resource.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace triotdt::test {

// Where the run's standard output goes.
enum class Console { captured, closed, deviceFull, brokenPipe };

struct RunConditions {
    std::string input;                    // standard input
    std::optional<rlim_t> fileSizeLimit;  // RLIMIT_FSIZE, bytes
    // Bytes of memory: RLIMIT_AS, or under AddressSanitizer (which reserves
    // terabytes of address space) its own limits on resident memory and on
    // single allocations.
    std::optional<rlim_t> memoryLimit;
    Console console = Console::captured;
    // A signal sent when the program has written its first byte to standard
    // output (captured). The pipe then holds 4 KiB and is not read until the
    // signal is sent, so a program that writes more at once is still in that
    // write when the signal comes.
    int signalAtFirstOutput = 0;
    // A signal blocked and pending when the program starts, as one that
    // comes before the program can set its handler.
    int signalPendingAtStart = 0;
};

inline RunConditions withFileSizeLimit(rlim_t bytes) {
    RunConditions conditions;
    conditions.fileSizeLimit = bytes;
    return conditions;
}
inline RunConditions withMemoryLimit(rlim_t bytes) {
    RunConditions conditions;
    conditions.memoryLimit = bytes;
    return conditions;
}
inline RunConditions withConsole(Console console) {
    RunConditions conditions;
    conditions.console = console;
    return conditions;
}

// What a run left behind.
struct RunResult {
    int status = -1;  // the exit status, or -1 when a signal ended the run
    int signal = 0;   // the signal that ended it
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the built triotdt with `args` in `folder`. The program starts with
// SIGXFSZ at its default, so that it must ignore the signal itself.
// Standard output and standard error are captured outside `folder`, which
// holds only what the program itself created.
RunResult runProgram(const std::filesystem::path& folder, const std::vector<std::string>& args = {},
                     const RunConditions& conditions = {});

// The path of the built triotdt, for runs that need more than runProgram
// offers (a terminal, say).
const char* programPath();

// The names of the entries of `folder`, sorted.
std::vector<std::string> filesIn(const std::filesystem::path& folder);

}  // namespace triotdt::test
