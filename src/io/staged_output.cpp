#include "io/staged_output.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "io/run_error.h"

namespace triotdt::io {
namespace {

// Renames without replacing: where the file system cannot rename that way, a
// hard link does the same.
int renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    if (::link(from.c_str(), to.c_str()) != 0) return -1;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

StagedOutput::StagedOutput(OutputUnit unit, std::string path, std::string temporaryPath)
    : unit_(std::move(unit)), path_(std::move(path)), temporaryPath_(std::move(temporaryPath)) {}

StagedOutput::StagedOutput(StagedOutput&& other) noexcept
    : unit_(std::move(other.unit_)), path_(std::move(other.path_)), temporaryPath_(std::move(other.temporaryPath_)) {
    other.temporaryPath_.clear();
}

StagedOutput::~StagedOutput() {
    if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
}

StagedOutput StagedOutput::beside(const std::string& path, std::string_view lineEnd) {
    std::string temporary = path + "." + std::to_string(::getpid()) + ".part";
    OutputUnit unit = OutputUnit::createNew(temporary, lineEnd, path);
    return StagedOutput(std::move(unit), path, std::move(temporary));
}

StagedOutput StagedOutput::standardOutput() { return StagedOutput(OutputUnit::console(), {}, {}); }

void StagedOutput::publish() {
    unit_->finish();
    if (path_.empty()) return;
    if (renameWithoutReplacing(temporaryPath_, path_) != 0) {
        const int error = errno;
        if (error == EEXIST)
            throw RunError(ErrorCode::fileExists, "OPEN of file '" + path_ + "'", "file already exists");
        throw RunError(ErrorCode::writeFailed, "RENAME of file '" + temporaryPath_ + "' to '" + path_ + "'",
                       std::string("cannot rename it: ") + std::strerror(error));
    }
    temporaryPath_.clear();
}

void writeNewFiles(const std::vector<std::string>& folders, std::vector<NewFile> files,
                   const NewFile::PieceDone& pieceDone) {
    std::vector<std::string> createdFiles, createdFolders;
    try {
        for (const std::string& folder : folders) {
            std::error_code error;
            if (!std::filesystem::create_directory(folder, error)) {
                throw RunError(
                    ErrorCode::openFailed, folder,
                    "cannot be created (" + (error ? error.message() : std::string("it exists already")) + ")");
            }
            createdFolders.push_back(folder);
        }
        std::vector<OutputUnit> units;
        units.reserve(files.size());
        for (const NewFile& file : files) {
            units.push_back(OutputUnit::createNew(file.path, "\n"));
            createdFiles.push_back(file.path);
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (files[i].write) {
                files[i].write(units[i], pieceDone);
            } else {
                units[i].text() = std::move(files[i].text);
            }
            units[i].finish();
            pieceDone();
        }
    } catch (...) {
        for (const std::string& name : createdFiles) std::remove(name.c_str());
        for (const std::string& folder : createdFolders) std::filesystem::remove(folder);
        throw;
    }
}

}  // namespace triotdt::io
