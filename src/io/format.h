#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace triotdt::io {

// One edit descriptor of a format: a literal, nX (n blanks), '/' (new line),
// Iw (integer in w columns) or Fw.d (real in w columns with d decimals).
struct FormatItem {
    enum class Kind { literal, blanks, newLine, integer, real };
    Kind kind = Kind::literal;
    std::string text;  // literal text, or the blanks of nX
    int width = 0;
    int decimals = 0;

};

// A parsed format such as "(1X,'marker',I2,'-',I2,1X,'Pvalue',1X,5F9.3)";
// repeat counts in front of a data descriptor are expanded.
struct Format {
    std::vector<FormatItem> items;
};

Format parseFormat(std::string_view text);

using FormatValue = std::variant<std::int64_t, double>;

// Appends `value` in w columns: right-justified, w asterisks when it needs more.
void appendInteger(std::string& out, std::int64_t value, int width);

// Appends `value` rounded to d decimals in w columns: a minus sign when
// negative, no zero before the point when the integer part is zero, w
// asterisks when it needs more columns. A value exactly half-way between two
// printable values (judged on its exact binary value) is rounded away from zero.
void appendReal(std::string& out, double value, int width, int decimals);

namespace detail {
void appendValue(std::string& out, const FormatItem& item, const FormatValue& value);
}

// One write statement: starts a new line, takes the descriptors from left to
// right, ends a line at each '/', and when the format is used up while values
// remain, ends the line and starts the format again. When the values are used
// up, output goes on through literals, blanks and '/' up to the next data
// descriptor or the end of the format. Each line ends with `lineEnd`.
// `valueAt(i)` gives value i (0-based) of `count`, so long lists can be
// produced on the fly; `lineDone()` is called after every completed line, so
// that a caller can pass long output on before the statement ends.
struct NoLineHook {
    void operator()() const {}
};

template <class ValueAt, class LineDone = NoLineHook>
void writeFormatted(std::string& out, const Format& format, std::size_t count, ValueAt&& valueAt,
                    std::string_view lineEnd, LineDone&& lineDone = {}) {
    const auto& items = format.items;
    std::size_t next = 0;
    std::size_t item = 0;
    bool tookValueThisPass = false;
    for (;;) {
        if (item == items.size()) {
            out += lineEnd;
            lineDone();
            // Reversion: start the format again only if a value is left and the
            // format can take one.
            if (next == count || !tookValueThisPass) return;
            item = 0;
            tookValueThisPass = false;
            continue;
        }
        const FormatItem& descriptor = items[item];
        switch (descriptor.kind) {
            case FormatItem::Kind::literal:
            case FormatItem::Kind::blanks:
                out += descriptor.text;
                break;
            case FormatItem::Kind::newLine:
                out += lineEnd;
                break;
            case FormatItem::Kind::integer:
            case FormatItem::Kind::real:
                if (next == count) {
                    out += lineEnd;
                    return;
                }
                detail::appendValue(out, descriptor, valueAt(next++));
                tookValueThisPass = true;
                break;
        }
        ++item;
    }
}

inline void writeFormatted(std::string& out, const Format& format, std::span<const FormatValue> values,
                           std::string_view lineEnd) {
    writeFormatted(out, format, values.size(), [&](std::size_t i) { return values[i]; }, lineEnd);
}

}  // namespace triotdt::io
