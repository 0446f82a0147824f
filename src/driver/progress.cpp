#include "driver/progress.h"

#include <sys/stat.h>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "driver/progress_text.h"

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
    struct stat first {
    }, second{};
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

ProgressLine::~ProgressLine() { erase(); }

void ProgressLine::windowDone(const window::WindowResult& window) {
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
    shown_ = progressText(windowsDone_, windowCount_, elapsed > 0 ? replicatesDone_ / elapsed : 0, left);
    redraw();
}

void ProgressLine::stepAside() {
    if (where_.sharedWithOutput) erase();
}

void ProgressLine::comeBack(bool lineOpen) {
    if (!where_.sharedWithOutput) return;
    outputLineOpen_ = lineOpen;
    redraw();
}

void ProgressLine::erase() {
    if (drawn_) writeAll(where_.terminal, eraseLine);
    drawn_ = false;
}

void ProgressLine::redraw() {
    // Never over a line of standard output that is still being written.
    if (shown_.empty() || (where_.sharedWithOutput && outputLineOpen_)) return;
    writeAll(where_.terminal, std::string(eraseLine) + shown_);
    drawn_ = true;
}

}  // namespace triotdt::driver
