#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace triotdt::test {

// What a terminal shows once every drawn progress line is taken out. A
// progress line is drawn as "\r\x1b[K" and its text, and erased by the next
// "\r\x1b[K": the text between two erases that holds no line end. The texts
// taken out are appended to `drawn` when given.
inline std::string withoutProgressLines(std::string_view shown, std::vector<std::string>* drawn = nullptr) {
    constexpr std::string_view erase = "\r\x1b[K";
    std::string rest;
    std::size_t at = 0;
    for (std::size_t found; (found = shown.find(erase, at)) != std::string_view::npos;) {
        rest += shown.substr(at, found - at);
        at = found + erase.size();
        const std::size_t next = shown.find(erase, at);
        if (next == std::string_view::npos) continue;
        const std::string_view segment = shown.substr(at, next - at);
        if (segment.empty() || segment.find('\n') != std::string_view::npos) continue;
        if (drawn != nullptr) drawn->emplace_back(segment);
        at = next;
    }
    rest += shown.substr(at);
    return rest;
}

}  // namespace triotdt::test
