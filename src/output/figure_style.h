#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "output/svg_document.h"

namespace triotdt::output {

// What the panels of the figure share: the colours of the window sizes and
// the marks.

// A colour for each window size, dark to light as the sizes grow (seven
// steps of a scale that stays readable in grey and to colour-blind eyes).
inline const char* sizeColour(std::int32_t size) {
    constexpr std::array<const char*, 7> colours = {"#440154", "#472F7D", "#39568C", "#2A788E",
                                                    "#1F988B", "#35B779", "#6DCD59"};
    return colours[static_cast<std::size_t>(size < 1 ? 0 : size - 1) % colours.size()];
}

inline constexpr double fontSize = 11;
inline constexpr double dotDiameter = 4.5;

// "windows of 1 locus", "windows of 3 loci".
inline std::string windowsOfSize(std::int32_t size) {
    return "windows of " + std::to_string(size) + (size == 1 ? " locus" : " loci");
}

// "1 window", "2 windows".
inline std::string counted(std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

inline std::string dotStyle(const char* colour) {
    return std::string("class=\"point\" fill=\"none\" stroke=\"") + colour + "\" stroke-width=\"" +
           pixels(dotDiameter) + "\" stroke-linecap=\"round\"";
}

inline std::string zeroStyle(const char* colour) {
    return std::string("class=\"zero\" fill=\"") + colour + "\" stroke=\"#333333\" stroke-width=\"0.6\"";
}

// A dot is a path of no length with round ends: a dozen bytes a mark.
inline std::string dotAt(double x, double y) { return "M" + pixels(x) + " " + pixels(y) + "h0"; }
// A window significant genome-wide: a ring around its mark, drawn as an arc
// of a circle in two halves.
inline std::string ringAt(double x, double y) {
    return "M" + pixels(x - 5) + " " + pixels(y) + "a5 5 0 1 0 10 0a5 5 0 1 0 -10 0";
}
inline std::string ringStyle(const char* colour) {
    return std::string("class=\"significant\" fill=\"none\" stroke=\"") + colour + "\" stroke-width=\"1.5\"";
}
// A p of 0: a triangle pointing up, to smaller p-values than it stands at.
inline std::string triangleAt(double x, double y) { return "M" + pixels(x) + " " + pixels(y - 4) + "l4 7h-8z"; }

}  // namespace triotdt::output
