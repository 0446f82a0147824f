#include "window/window_order.h"

#include <algorithm>

namespace triotdt::window {
namespace {

constexpr std::int32_t largestWindow = 7;

}  // namespace

std::int32_t largestWindowSize(std::int32_t lociCount) { return std::clamp(lociCount, 0, largestWindow); }

std::int64_t windowIndex(std::int32_t lociCount, std::int32_t size, std::int32_t start) {
    std::int64_t index = 0;
    for (std::int32_t s = 1; s < size; ++s) index += lociCount - s + 1;
    return index + (start - 1);
}

std::vector<WindowSpan> windowsStartingIn(std::int32_t firstStart, std::int32_t lastStart, std::int32_t lociCount) {
    std::vector<WindowSpan> spans;
    for (std::int32_t size = 1; size <= largestWindowSize(lociCount); ++size) {
        const std::int32_t last = std::min(lastStart, lociCount - size + 1);
        spans.push_back(WindowSpan{size, firstStart, std::max(last, firstStart - 1)});
    }
    return spans;
}

WindowSelection everyWindow(std::int32_t lociCount) {
    lociCount = std::max(lociCount, 0);
    return WindowSelection{lociCount, windowsStartingIn(1, lociCount, lociCount), 1};
}

std::int64_t countWindows(std::span<const WindowSpan> spans) {
    std::int64_t count = 0;
    for (const WindowSpan& span : spans) count += span.windowCount();
    return count;
}

}  // namespace triotdt::window
