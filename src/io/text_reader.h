#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_descriptor.h"

namespace triotdt::io {

// Free-form integer input. Every read statement starts at the beginning of a
// new line, takes its values from as many lines as it needs, and leaves the
// rest of its last line unread. Values are separated by blanks, by one comma
// (with optional blanks around it) or by line ends; a value is an optional
// sign followed by decimal digits and must fit in 32 bits.
//
// The reader holds one chunk of the file at a time, so a statement that asks
// for more values than the file holds fails at the end of the file without
// having reserved room for them first.
class TextReader {
public:
    // Reads from an open file; `fileName` is used in messages.
    TextReader(FileDescriptor file, std::string fileName);
    // Reads from text held in memory (tests, fuzzing).
    static TextReader fromText(std::string text, std::string fileName);

    TextReader(TextReader&& other) noexcept = default;
    TextReader& operator=(TextReader&&) = delete;
    TextReader(const TextReader&) = delete;
    ~TextReader() = default;

    // Describes value `index` (0-based) of a statement for messages, e.g.
    // "locus 3, second allele".
    using ValueDescriber = std::function<std::string(std::int64_t index)>;

    // One read statement of `count` values, appended to `out`. `statement`
    // names it in messages ("family 3, mother's record"). Throws RunError on
    // end of file, an invalid number or a read failure.
    void readIntegers(std::int64_t count, std::string_view statement, std::vector<std::int32_t>& out,
                      const ValueDescriber& describe = {});

    std::int32_t readInteger(std::string_view statement);

    // The size of the whole text in bytes when it is known (a regular file or
    // text in memory), otherwise 0: a bound on how many values it can hold.
    std::int64_t knownSize() const;

private:
    TextReader(std::string fileName, std::string text);

    // Returns the next byte without consuming it, or -1 at the end of the file.
    int peek();
    void advance();
    void skipRestOfLine();
    // "READ of file 'tdtinput.dat' (the statement being read)".
    std::string readStatement() const;
    [[noreturn]] void failEndOfFile(std::int64_t count, std::int64_t read) const;
    [[noreturn]] void failInvalid(std::int64_t index, std::int64_t count, std::string_view token, std::string_view why,
                                  const ValueDescriber& describe) const;

    FileDescriptor file_;
    std::string fileName_;
    std::string statement_;  // the read statement under way, for messages
    std::string chunk_;
    std::size_t pos_ = 0;
    bool endOfFile_ = false;
    bool atLineStart_ = true;
    std::int64_t line_ = 1;
    // Whether the last byte consumed was a line end (true before the first
    // byte, so that an empty file has no lines).
    bool lastByteEndedLine_ = true;
};

}  // namespace triotdt::io
