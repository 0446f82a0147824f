#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/output_unit.h"

namespace triotdt::io {

// Outputs that are whole or absent: nothing a run leaves may look complete
// when it failed or was stopped. StagedOutput writes one file under a
// temporary name and names it at the end (the table, the figure, a shard's
// manifest); writeNewFiles creates a set of new files together and removes
// them all when any fails (the import's).

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

// A file of writeNewFiles: its text, or what writes it piece by piece (a file
// too large to hold as text), calling `pieceDone` after each piece.
struct NewFile {
    using PieceDone = std::function<void()>;
    std::string path;
    std::string text;
    std::function<void(OutputUnit&, const PieceDone& pieceDone)> write;
};

// Creates every folder and file new (an existing one is an error: nothing is
// overwritten), writes each file whole and closes it, calling `pieceDone`
// after each piece and each file; when anything throws, pieceDone included,
// removes every file and folder it created and lets the exception pass. A
// folder that cannot be created is a RunError whose statement is the folder.
void writeNewFiles(const std::vector<std::string>& folders, std::vector<NewFile> files,
                   const NewFile::PieceDone& pieceDone);

}  // namespace triotdt::io
