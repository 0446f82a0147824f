#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace triotdt::testing {

// What one run of the built program gave.
struct ProgramRun {
    int status = -1;  // exit status
    std::string out;  // standard output
    std::string err;  // standard error
};

// Runs the built triotdt with `arguments` in `folder` (the working folder).
// A `fileSizeLimit` (bytes) makes every longer write to a file fail.
ProgramRun runTriotdt(const std::filesystem::path& folder, const std::vector<std::string>& arguments,
                      std::optional<std::uint64_t> fileSizeLimit = std::nullopt);

// A new, empty scratch folder named after the running test.
std::filesystem::path scratchFolder();

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

}  // namespace triotdt::testing
