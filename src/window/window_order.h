#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace triotdt::window {

// The windows of a run in report order: every start of 1 locus, then every
// start of 2 loci, and so on up to 7 (all loci when there are fewer). A
// window's place in that order is where its random draws begin, so any
// selection of windows (a shard's) gives the bytes of the same windows in a
// whole run.

// The windows of one size whose starts run from firstStart to lastStart
// (none when firstStart > lastStart), as loci of the input.
struct WindowSpan {
    std::int32_t size = 1;
    std::int32_t firstStart = 1;
    std::int32_t lastStart = 0;

    std::int32_t windowCount() const { return lastStart >= firstStart ? lastStart - firstStart + 1 : 0; }
    friend bool operator==(const WindowSpan&, const WindowSpan&) = default;
};

// Which windows a run analyses: all of a whole run, or those of a shard.
struct WindowSelection {
    std::int32_t lociCount = 0;       // of the input: it numbers the windows in report order
    std::vector<WindowSpan> spans;    // per window size, smallest first
    std::int32_t firstLocusHeld = 1;  // the input's locus that is locus 1 of the family data
};

// The largest window: 7 loci, or all of them when there are fewer.
std::int32_t largestWindowSize(std::int32_t lociCount);

// The place of the window of `size` loci from `start` in report order (from 0).
std::int64_t windowIndex(std::int32_t lociCount, std::int32_t size, std::int32_t start);

// The windows of each size (1 to the largest) whose first locus lies in
// firstStart..lastStart.
std::vector<WindowSpan> windowsStartingIn(std::int32_t firstStart, std::int32_t lastStart, std::int32_t lociCount);

// Every window of an input of `lociCount` loci.
WindowSelection everyWindow(std::int32_t lociCount);

std::int64_t countWindows(std::span<const WindowSpan> spans);

}  // namespace triotdt::window
