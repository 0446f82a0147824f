#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "io/output_unit.h"

namespace triotdt::io {

// An extra output of the run (the table or the figure). A file is written
// under a temporary name in its own folder and takes its name only at
// publish(), so that a run that fails or is interrupted leaves no file that
// looks complete; standard output is written as it comes.
class StagedOutput {
public:
    // Creates the temporary file "PATH.PID.part". Throws RunError when it
    // cannot be created; messages name `path`.
    static StagedOutput beside(const std::string& path, std::string_view lineEnd);
    static StagedOutput standardOutput();

    StagedOutput(StagedOutput&& other) noexcept;
    StagedOutput& operator=(StagedOutput&&) = delete;
    ~StagedOutput();  // removes the temporary file unless it was published

    OutputUnit& unit() { return *unit_; }
    const std::string& temporaryPath() const { return temporaryPath_; }

    // Writes everything (if unit().finish() has not) and gives the file its
    // name, never replacing a file that has appeared there meanwhile
    // (RunError "file already exists").
    void publish();

private:
    StagedOutput(OutputUnit unit, std::string path, std::string temporaryPath);

    std::optional<OutputUnit> unit_;
    std::string path_;           // empty for standard output
    std::string temporaryPath_;  // empty once published or moved from
};

}  // namespace triotdt::io
