#pragma once

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace triotdt::io {

// An open file descriptor with one owner: move-only, closed exactly once, by
// `close()` or at the end of its life.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) {
            closeQuietly();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { closeQuietly(); }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }

    // Closes it now; returns 0, or the error of close (a written file whose
    // last bytes could not be stored).
    int close() {
        const int fd = std::exchange(fd_, -1);
        if (fd < 0) return 0;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    void closeQuietly() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    int fd_ = -1;
};

}  // namespace triotdt::io
