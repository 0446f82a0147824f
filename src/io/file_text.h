#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace triotdt::io {

// Hands the file at `path` to `take` in pieces of at most 64 KiB. Throws
// RunError when it cannot be opened or read.
void readPieces(const std::string& path, const std::function<void(std::string_view)>& take);

// Hands `take` each line of the file at `path`, without its LF (a last line
// without one too), holding one line at a time. Throws RunError as readPieces.
void readLines(const std::string& path, const std::function<void(std::string_view)>& take);

// The whole content of the file at `path`. Throws RunError as readPieces.
std::string readFileText(const std::string& path);

// The fields of one line of a separated file (tab-separated tables, comma
// lists), empty ones included: "a\t\tb" has three.
std::vector<std::string_view> splitFields(std::string_view line, char separator);

// The rows of a table held in `text` whose first line must be `header`:
// `row(line, where)` for each line after it, without its line end (LF or
// CR LF), `where` naming `fileName` and the line for messages. Throws
// InputRefused for an empty text or another header.
void forEachTableRow(std::string_view text, const std::string& fileName, std::string_view header,
                     const std::function<void(std::string_view line, const std::string& where)>& row);

}  // namespace triotdt::io
