#pragma once

#include <unistd.h>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "window/window_result.h"

namespace triotdt::driver {

// Where a progress line can be drawn.
struct ProgressTerminal {
    int terminal = STDERR_FILENO;
    // Standard output shows on the same terminal, so its lines must pass the
    // progress line instead of being written into it.
    bool sharedWithOutput = false;
};

// Standard error when it is a terminal that understands "clear to the end of
// the line" (TERM set and not "dumb"); nothing otherwise.
std::optional<ProgressTerminal> progressTerminal();

// The progress line of a run: windows done of all windows, replicates per
// second and the time left, redrawn as each window ends once the run has taken
// longer than `delay`. Everything runs on the thread of the run: when
// standard output shares the terminal, the run calls stepAside() before it
// writes there and comeBack() after, so that its lines stand on clean rows
// and the progress line is drawn again below them. The destructor erases the
// line. Writes of the line are best effort: the terminal of a progress line
// never fails the run.
class ProgressLine {
public:
    ProgressLine(ProgressTerminal where, std::int64_t windowCount,
                 std::chrono::steady_clock::duration delay = std::chrono::seconds(1));
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    ~ProgressLine();

    void windowDone(const window::WindowResult& window);

    // Standard output is about to be written: the line is erased if the two
    // share the terminal.
    void stepAside();
    // Standard output has been written; `lineOpen` when its last line has no
    // end yet, so that the progress line waits for a clean row.
    void comeBack(bool lineOpen);

private:
    using Clock = std::chrono::steady_clock;

    void erase();
    void redraw();

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

    std::string shown_;   // the latest progress text
    bool drawn_ = false;  // shown_ stands on the terminal's current line
    bool outputLineOpen_ = false;
};

}  // namespace triotdt::driver
