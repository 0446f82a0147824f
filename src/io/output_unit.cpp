#include "io/output_unit.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "io/run_error.h"

namespace triotdt::io {
namespace {

constexpr std::size_t flushThreshold = 1 << 20;

std::string openStatement(const std::string& name) { return "OPEN of file '" + name + "'"; }

}  // namespace

FileDescriptor openExisting(const std::string& name) {
    int fd;
    do {
        fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) throw RunError(ErrorCode::fileNotFound, openStatement(name), "file not found");
        throw RunError(ErrorCode::openFailed, openStatement(name), std::string("cannot open: ") + std::strerror(error));
    }
    FileDescriptor owned(fd);
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
        throw RunError(ErrorCode::openFailed, openStatement(name), "cannot open: it is a directory, not a file");
    }
    return owned;
}

OutputUnit::OutputUnit(int fd, FileDescriptor owned, std::string name, std::string_view lineEnd)
    : fd_(fd), owned_(std::move(owned)), name_(std::move(name)), lineEnd_(lineEnd) {}

OutputUnit::OutputUnit(OutputUnit&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      owned_(std::move(other.owned_)),
      name_(std::move(other.name_)),
      lineEnd_(other.lineEnd_),
      buffer_(std::move(other.buffer_)) {}

OutputUnit::~OutputUnit() = default;

OutputUnit OutputUnit::createNew(const std::string& name, std::string_view lineEnd, const std::string& shownName) {
    int fd;
    do {
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        if (error == EEXIST) throw RunError(ErrorCode::fileExists, openStatement(name), "file already exists");
        throw RunError(ErrorCode::openFailed, openStatement(name), std::string("cannot create: ") + std::strerror(error));
    }
    return OutputUnit(fd, FileDescriptor(fd), shownName.empty() ? name : shownName, lineEnd);
}

OutputUnit OutputUnit::console() { return OutputUnit(STDOUT_FILENO, FileDescriptor(), "standard output", "\n"); }

OutputUnit OutputUnit::standardError() { return OutputUnit(STDERR_FILENO, FileDescriptor(), "standard error", "\n"); }

void OutputUnit::flushIfLarge() {
    if (buffer_.size() >= flushThreshold) flush();
}

void OutputUnit::flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t written = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            buffer_.clear();
            throw RunError(ErrorCode::writeFailed, "WRITE of file '" + name_ + "'",
                           std::string("the file could not be written completely: ") + std::strerror(error));
        }
        done += static_cast<std::size_t>(written);
    }
    buffer_.clear();
}

void OutputUnit::finish() {
    flush();
    if (owned_.isOpen()) {
        fd_ = -1;
        if (const int error = owned_.close(); error != 0) {
            throw RunError(ErrorCode::writeFailed, "CLOSE of file '" + name_ + "'",
                           std::string("the file could not be written completely: ") + std::strerror(error));
        }
    }
}

}  // namespace triotdt::io
