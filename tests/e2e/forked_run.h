#pragma once

#include <sys/resource.h>

#include <filesystem>
#include <optional>
#include <string>

#include "support/test_support.h"

namespace triotdt::test {

// What a run of the built program left behind.
struct ForkedRun {
    int exitStatus = -1;  // -1 when a signal ended it
    int signal = 0;
    std::string console;  // standard output
    std::string errors;   // standard error
};

// Where the run's standard output goes.
enum class Console { captured, closed, deviceFull, brokenPipe };

struct RunConditions {
    std::optional<rlim_t> fileSizeLimit;     // RLIMIT_FSIZE, bytes
    // Bytes of memory: RLIMIT_AS, or under AddressSanitizer (which reserves
    // terabytes of address space) its own limits on resident memory and on
    // single allocations.
    std::optional<rlim_t> memoryLimit;
    Console console = Console::captured;
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

// Runs the program in `folder` in a child process, with SIGXFSZ at its
// default (so that the program must ignore it itself) and the given limits.
ForkedRun runInFolder(const std::filesystem::path& folder, const RunConditions& conditions = {});

}  // namespace triotdt::test
