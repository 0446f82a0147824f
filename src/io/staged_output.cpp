#include "io/staged_output.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

}  // namespace triotdt::io
