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

std::optional<WindowSizes> WindowSizes::parse(std::string_view text) {
    WindowSizes sizes;
    sizes.mask_ = 0;
    const auto size = [](std::string_view digit) -> std::int32_t {
        return digit.size() == 1 && digit[0] >= '1' && digit[0] <= '0' + largestWindow ? digit[0] - '0' : 0;
    };
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        const std::int32_t first = size(item.substr(0, dash));
        const std::int32_t last = dash == std::string_view::npos ? first : size(item.substr(dash + 1));
        if (first == 0 || last < first) return std::nullopt;
        for (std::int32_t s = first; s <= last; ++s) sizes.mask_ = static_cast<std::uint8_t>(sizes.mask_ | 1u << s);
        if (comma == std::string_view::npos) return sizes;
        text.remove_prefix(comma + 1);
    }
}

std::string WindowSizes::text() const {
    std::string text;
    for (std::int32_t first = 1; first <= largestWindow; ++first) {
        if (!contains(first) || contains(first - 1)) continue;
        std::int32_t last = first;
        while (contains(last + 1)) ++last;
        text += (text.empty() ? "" : ",") + std::to_string(first);
        if (last > first) text += "-" + std::to_string(last);
    }
    return text;
}

std::vector<WindowSpan> windowsStartingIn(std::int32_t firstStart, std::int32_t lastStart, std::int32_t lociCount,
                                          WindowSizes sizes) {
    std::vector<WindowSpan> spans;
    for (std::int32_t size = 1; size <= largestWindowSize(lociCount); ++size) {
        const std::int32_t last = sizes.contains(size) ? std::min(lastStart, lociCount - size + 1) : 0;
        spans.push_back(WindowSpan{size, firstStart, std::max(last, firstStart - 1)});
    }
    return spans;
}

WindowSelection everyWindow(std::int32_t lociCount, WindowSizes sizes) {
    lociCount = std::max(lociCount, 0);
    return WindowSelection{lociCount, windowsStartingIn(1, lociCount, lociCount, sizes), 1};
}

std::int64_t countWindows(std::span<const WindowSpan> spans) {
    std::int64_t count = 0;
    for (const WindowSpan& span : spans) count += span.windowCount();
    return count;
}

}  // namespace triotdt::window
