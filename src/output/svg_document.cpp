#include "output/svg_document.h"

#include <cstdio>

namespace triotdt::output {
namespace {

// Length of the UTF-8 sequence starting at text[i], or 0 when it is not valid.
std::size_t utf8Length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4  ? 4
                               : lead >= 0xE0                ? 3
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                                                             : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

std::string pixels(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string escaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
        else if (const std::size_t length = c >= 0x80 ? utf8Length(text, i) : 0; length > 0) {
            out.append(text.substr(i, length));
            i += length - 1;
        } else out += '?';
    }
    return out;
}

void SvgDocument::line(double x1, double y1, double x2, double y2, const std::string& style) {
    svg += "<line x1=\"" + pixels(x1) + "\" y1=\"" + pixels(y1) + "\" x2=\"" + pixels(x2) + "\" y2=\"" + pixels(y2) +
           "\" " + style + "/>\n";
}

void SvgDocument::text(double x, double y, std::string_view content, const std::string& style) {
    svg += "<text x=\"" + pixels(x) + "\" y=\"" + pixels(y) + "\"" + (style.empty() ? "" : " " + style) + ">" +
           escaped(content) + "</text>\n";
}

void SvgDocument::rect(double x, double y, double width, double height, const std::string& style) {
    svg += "<rect x=\"" + pixels(x) + "\" y=\"" + pixels(y) + "\" width=\"" + pixels(width) + "\" height=\"" +
           pixels(height) + "\" " + style + "/>\n";
}

void SvgDocument::path(const std::string& d, const std::string& style) {
    if (!d.empty()) svg += "<path " + style + " d=\"" + d + "\"/>\n";
}

}  // namespace triotdt::output
