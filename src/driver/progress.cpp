#include "driver/progress.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>

#include "report/progress_text.h"

namespace triotdt::driver {
namespace {

constexpr std::string_view eraseLine = "\r\x1b[K";

// Best effort: the progress line must never stop or fail the run.
void writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return;
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

bool sameFile(int a, int b) {
    struct stat first {}, second {};
    return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace

std::optional<ProgressTerminal> progressTerminal() {
    const char* term = std::getenv("TERM");
    if (!::isatty(STDERR_FILENO) || term == nullptr || std::string_view(term).empty() ||
        std::string_view(term) == "dumb") {
        return std::nullopt;
    }
    ProgressTerminal where;
    where.sharedWithOutput = ::isatty(STDOUT_FILENO) && sameFile(STDOUT_FILENO, STDERR_FILENO);
    return where;
}

ProgressLine::ProgressLine(ProgressTerminal where, std::int64_t windowCount, Clock::duration delay)
    : where_(where), windowCount_(windowCount), delay_(delay) {}

ProgressLine::~ProgressLine() {
    stopRelay();
    if (drawn_) writeAll(where_.terminal, eraseLine);
}

void ProgressLine::windowDone(const WindowOutcome& window) {
    const Clock::time_point now = Clock::now();
    // Windows of one size cost about the same, and larger ones more: the time
    // left is estimated from the windows of the current size.
    if (window.size != currentSize_) {
        currentSize_ = window.size;
        sizeStart_ = lastWindowEnd_;
        windowsOfSize_ = 0;
    }
    lastWindowEnd_ = now;
    ++windowsOfSize_;
    ++windowsDone_;
    if (!window.skipped) replicatesDone_ += window.replicateCount;

    const double elapsed = std::chrono::duration<double>(now - start_).count();
    if (now - start_ < delay_) return;
    const double perWindow = std::chrono::duration<double>(now - sizeStart_).count() / windowsOfSize_;
    const double left = windowCount_ > 0 ? perWindow * static_cast<double>(windowCount_ - windowsDone_) : -1;
    if (where_.sharedWithOutput && !relay_.joinable()) startRelay();
    draw(report::progressText(windowsDone_, windowCount_, elapsed > 0 ? replicatesDone_ / elapsed : 0, left));
}

void ProgressLine::draw(const std::string& text) {
    const std::lock_guard lock(terminalMutex_);
    shown_ = text;
    redraw();
}

void ProgressLine::redraw() {
    // Never over a line of standard output that is still being written.
    drawn_ = !outputMidLine_ && !shown_.empty();
    if (drawn_) writeAll(where_.terminal, std::string(eraseLine) + shown_);
}

void ProgressLine::startRelay() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    realOutput_ = ::fcntl(where_.output, F_DUPFD_CLOEXEC, 0);
    if (realOutput_ < 0 || ::dup2(fds[1], where_.output) < 0) {
        for (const int fd : {fds[0], fds[1], realOutput_}) {
            if (fd >= 0) ::close(fd);
        }
        realOutput_ = -1;
        return;
    }
    ::close(fds[1]);
    relayRead_ = fds[0];
    relay_ = std::thread([this] { relayOutput(); });
}

// Passes standard output on until its pipe closes, each piece on a clean line
// with the progress line drawn again after it.
void ProgressLine::relayOutput() {
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(relayRead_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        const std::lock_guard lock(terminalMutex_);
        if (drawn_) writeAll(where_.terminal, eraseLine);
        writeAll(realOutput_, std::string_view(buffer, static_cast<std::size_t>(got)));
        outputMidLine_ = buffer[got - 1] != '\n';
        redraw();
    }
}

void ProgressLine::stopRelay() {
    if (!relay_.joinable()) return;
    // Putting standard output back closes the pipe's last writing end: the
    // relay passes on what is left and stops.
    ::dup2(realOutput_, where_.output);
    relay_.join();
    ::close(relayRead_);
    ::close(realOutput_);
}

}  // namespace triotdt::driver
