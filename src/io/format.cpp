#include "io/format.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace triotdt::io {
namespace {

int parseCount(std::string_view text, std::size_t& i) {
    int n = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') n = n * 10 + (text[i++] - '0');
    return n;
}

[[noreturn]] void badFormat(std::string_view text) {
    throw std::logic_error("malformed format: " + std::string(text));
}

void appendPadded(std::string& out, std::string_view text, int width) {
    if (static_cast<int>(text.size()) > width) {
        out.append(static_cast<std::size_t>(width), '*');
        return;
    }
    out.append(static_cast<std::size_t>(width) - text.size(), ' ');
    out += text;
}

// The decimal digits of |value| rounded to `decimals` places, half-way cases
// away from zero, as "integer.fraction" with an empty integer part for zero.
std::string roundedDigits(double magnitude, int decimals) {
    if (magnitude < 1e15 && magnitude == std::floor(magnitude)) {
        // Whole numbers (the counts) need no rounding.
        std::string digits = magnitude == 0 ? std::string() : std::to_string(static_cast<std::int64_t>(magnitude));
        digits += '.';
        digits.append(static_cast<std::size_t>(decimals), '0');
        return digits;
    }
    // Forty digits beyond the last printed one show the exact binary value far
    // enough to tell a true half-way case from one that only looks like it.
    char buffer[400];
    const int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals + 40, magnitude);
    if (length < 0 || length >= static_cast<int>(sizeof buffer)) return std::string(400, '9');
    std::string text(buffer, static_cast<std::size_t>(length));
    const std::size_t point = text.find('.');
    std::string kept = text.substr(0, point) + text.substr(point + 1, static_cast<std::size_t>(decimals));
    if (text[point + 1 + static_cast<std::size_t>(decimals)] >= '5') {
        std::size_t i = kept.size();
        while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
        if (i == 0) kept.insert(kept.begin(), '1'); else ++kept[i - 1];
    }
    std::string integer = kept.substr(0, kept.size() - static_cast<std::size_t>(decimals));
    const std::size_t firstNonZero = integer.find_first_not_of('0');
    integer = firstNonZero == std::string::npos ? std::string() : integer.substr(firstNonZero);
    return integer + "." + kept.substr(kept.size() - static_cast<std::size_t>(decimals));
}

}  // namespace

Format parseFormat(std::string_view text) {
    if (text.size() < 2 || text.front() != '(' || text.back() != ')') badFormat(text);
    const std::string_view body = text.substr(1, text.size() - 2);
    Format format;
    std::size_t i = 0;
    while (i < body.size()) {
        if (body[i] == '\'') {
            FormatItem item;
            ++i;
            for (;; ++i) {
                if (i >= body.size()) badFormat(text);
                if (body[i] == '\'') {
                    if (i + 1 < body.size() && body[i + 1] == '\'') {
                        item.text += '\'';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                item.text += body[i];
            }
            format.items.push_back(std::move(item));
        } else if (body[i] == '/') {
            format.items.push_back({FormatItem::Kind::newLine, {}, 0, 0});
            ++i;
        } else {
            const int repeat = parseCount(body, i);
            if (i >= body.size()) badFormat(text);
            const char letter = body[i++];
            if (letter == 'X') {
                if (repeat <= 0) badFormat(text);
                format.items.push_back({FormatItem::Kind::blanks, std::string(static_cast<std::size_t>(repeat), ' '), 0, 0});
            } else if (letter == 'I' || letter == 'F') {
                FormatItem item;
                item.kind = letter == 'I' ? FormatItem::Kind::integer : FormatItem::Kind::real;
                item.width = parseCount(body, i);
                if (letter == 'F') {
                    if (i >= body.size() || body[i] != '.') badFormat(text);
                    ++i;
                    item.decimals = parseCount(body, i);
                }
                if (item.width <= 0) badFormat(text);
                for (int r = 0; r < (repeat == 0 ? 1 : repeat); ++r) format.items.push_back(item);
            } else {
                badFormat(text);
            }
        }
        if (i < body.size()) {
            if (body[i] != ',') badFormat(text);
            ++i;
        }
    }
    return format;
}

void appendInteger(std::string& out, std::int64_t value, int width) {
    appendPadded(out, std::to_string(value), width);
}

void appendReal(std::string& out, double value, int width, int decimals) {
    if (std::isnan(value)) return appendPadded(out, "NaN", width);
    if (std::isinf(value)) return appendPadded(out, value < 0 ? "-Inf" : "Inf", width);
    std::string text = value < 0 ? "-" : "";
    text += roundedDigits(std::fabs(value), decimals);
    appendPadded(out, text, width);
}

namespace detail {
void appendValue(std::string& out, const FormatItem& item, const FormatValue& value) {
    if (item.kind == FormatItem::Kind::integer) {
        const auto* integer = std::get_if<std::int64_t>(&value);
        if (integer == nullptr) throw std::logic_error("an I descriptor needs an integer value");
        appendInteger(out, *integer, item.width);
    } else {
        const auto* real = std::get_if<double>(&value);
        if (real == nullptr) throw std::logic_error("an F descriptor needs a real value");
        appendReal(out, *real, item.width, item.decimals);
    }
}
}  // namespace detail

}  // namespace triotdt::io
