#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>

#include "driver/analysis.h"

namespace triotdt::driver {

// Where a progress line can be drawn.
struct ProgressTerminal {
    int terminal = STDERR_FILENO;
    // Standard output shows on the same terminal, so its lines must pass the
    // progress line instead of being written into it.
    bool sharedWithOutput = false;
    int output = STDOUT_FILENO;
};

// Standard error when it is a terminal that understands "clear to the end of
// the line" (TERM set and not "dumb"); nothing otherwise.
std::optional<ProgressTerminal> progressTerminal();

// The progress line of a run: windows done of all windows, replicates per
// second and the time left, redrawn as each window ends once the run has taken
// longer than `delay`. When standard output shares the terminal, it is routed
// through a pipe while the line is shown, so that every piece of it is
// written on a clean line and the progress line drawn again below it; the
// bytes of standard output are unchanged. The destructor erases the line and
// gives standard output back.
class ProgressLine {
public:
    ProgressLine(ProgressTerminal where, std::int64_t windowCount,
                 std::chrono::steady_clock::duration delay = std::chrono::seconds(1));
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine();

    void windowDone(const WindowOutcome& window);

private:
    using Clock = std::chrono::steady_clock;

    void draw(const std::string& text);
    void redraw();
    void startRelay();
    void relayOutput();
    void stopRelay();

    ProgressTerminal where_;
    std::int64_t windowCount_;
    Clock::duration delay_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point lastWindowEnd_ = start_;
    Clock::time_point sizeStart_ = start_;
    std::int32_t currentSize_ = 0;
    std::int64_t windowsOfSize_ = 0;
    std::int64_t windowsDone_ = 0;
    double replicatesDone_ = 0;

    std::mutex terminalMutex_;
    std::string shown_;  // the latest progress text
    bool drawn_ = false;  // shown_ stands on the terminal's current line
    bool outputMidLine_ = false;
    int realOutput_ = -1;
    int relayRead_ = -1;
    std::thread relay_;
};

}  // namespace triotdt::driver
