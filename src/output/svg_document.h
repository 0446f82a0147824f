#pragma once

#include <string>
#include <string_view>

namespace triotdt::output {

// A number of pixels as the figure prints it: one decimal, so that two runs
// give the same bytes and marks a tenth of a pixel apart stay apart.
std::string pixels(double value);

// Text made safe for XML character data and attribute values: markup
// characters escaped, control characters and bytes that are not UTF-8 shown as '?'.
std::string escaped(std::string_view text);

// The text of an SVG document, element by element. Styles are attribute
// text ("stroke=\"#333333\""), put into the element as they are.
struct SvgDocument {
    std::string svg;

    void line(double x1, double y1, double x2, double y2, const std::string& style);
    void text(double x, double y, std::string_view content, const std::string& style = "");
    void rect(double x, double y, double width, double height, const std::string& style);
    // A path of the data `d`, left out when `d` is empty.
    void path(const std::string& d, const std::string& style);
};

}  // namespace triotdt::output
