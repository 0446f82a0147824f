#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace triotdt::import {

// Reads a whitespace-separated text file (.ped, .map, .fam, .bim, pedigree,
// marker list) line by line, skipping blank lines and lines whose first
// field starts with '#' (headers and comments). Lines may end in LF or CR LF;
// a UTF-8 byte-order mark at the start of the file is not part of the text.
class LineReader {
public:
    // Throws ImportError when the file is missing or cannot be opened.
    explicit LineReader(std::string path);

    // Moves to the next line that is not blank; false at the end of the file.
    bool next();
    const std::vector<std::string_view>& fields() const { return fields_; }
    std::int64_t lineNumber() const { return lineNumber_; }
    const std::string& path() const { return path_; }

    // Throws ImportError "PATH, line N: problem".
    [[noreturn]] void fail(const std::string& problem) const;

private:
    std::string path_;
    std::ifstream stream_;
    std::string line_;
    std::vector<std::string_view> fields_;
    std::int64_t lineNumber_ = 0;
};

// Throws ImportError unless `path` names a readable regular file.
void checkReadable(const std::string& path);

// A decimal whole number of `text` (an optional leading minus), or false.
bool parseWholeNumber(std::string_view text, std::int64_t& value);

}  // namespace triotdt::import
