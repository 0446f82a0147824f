#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace triotdt::window {

// The windows of a run in report order: every start of 1 locus, then every
// start of 2 loci, and so on up to 7 (all loci when there are fewer). A
// window's place in that order is where its random draws begin, so any
// selection of windows (a shard's) gives the bytes of the same windows in a
// whole run.

// The window sizes a run analyses (--window-sizes): some of 1 to 7. The
// others are left out of everything, their windows neither analysed nor
// reported; the windows of the sizes kept keep their places in report
// order, and so their random draws.
class WindowSizes {
public:
    WindowSizes() = default;  // every size

    // A list of sizes and ranges of sizes from 1 to 7, such as "1", "1-3",
    // "1,3,5" or "2-4,7"; nothing when the text is not one.
    static std::optional<WindowSizes> parse(std::string_view text);

    bool contains(std::int32_t size) const { return size >= 1 && size <= 7 && (mask_ >> size & 1u) != 0; }
    bool all() const { return mask_ == everySize; }
    // The list as parse() reads it, ranges joined: "1-3,5"; "1-7" for all.
    std::string text() const;

    friend bool operator==(const WindowSizes&, const WindowSizes&) = default;

private:
    static constexpr std::uint8_t everySize = 0xFE;  // bit s for size s
    std::uint8_t mask_ = everySize;
};

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
    std::vector<WindowSpan> spans;    // per window size, smallest first; empty for a size left out
    std::int32_t firstLocusHeld = 1;  // the input's locus that is locus 1 of the family data
};

// The largest window: 7 loci, or all of them when there are fewer.
std::int32_t largestWindowSize(std::int32_t lociCount);

// The place of the window of `size` loci from `start` in report order (from 0).
std::int64_t windowIndex(std::int32_t lociCount, std::int32_t size, std::int32_t start);

// The windows of each size (1 to the largest) whose first locus lies in
// firstStart..lastStart; none of the sizes not in `sizes`.
std::vector<WindowSpan> windowsStartingIn(std::int32_t firstStart, std::int32_t lastStart, std::int32_t lociCount,
                                          WindowSizes sizes = {});

// Every window of `sizes` of an input of `lociCount` loci.
WindowSelection everyWindow(std::int32_t lociCount, WindowSizes sizes = {});

std::int64_t countWindows(std::span<const WindowSpan> spans);

}  // namespace triotdt::window
