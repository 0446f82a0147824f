#include "io/file_text.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io/file_descriptor.h"
#include "io/output_unit.h"
#include "io/run_error.h"

namespace triotdt::io {

void readPieces(const std::string& path, const std::function<void(std::string_view)>& take) {
    const FileDescriptor file = openExisting(path);
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            throw RunError(ErrorCode::readFailed, "READ of file '" + path + "'",
                           std::string("the file cannot be read: ") + std::strerror(errno));
        }
        if (got == 0) return;
        take(std::string_view(buffer, static_cast<std::size_t>(got)));
    }
}

void readLines(const std::string& path, const std::function<void(std::string_view)>& take) {
    std::string line;
    readPieces(path, [&](std::string_view piece) {
        for (std::size_t end = piece.find('\n'); end != std::string_view::npos; end = piece.find('\n')) {
            line += piece.substr(0, end);
            take(line);
            line.clear();
            piece.remove_prefix(end + 1);
        }
        line += piece;
    });
    if (!line.empty()) take(line);
}

std::string readFileText(const std::string& path) {
    std::string text;
    readPieces(path, [&](std::string_view piece) { text += piece; });
    return text;
}

std::vector<std::string_view> splitFields(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t end = line.find(separator);
        fields.push_back(line.substr(0, end));
        if (end == std::string_view::npos) return fields;
        line.remove_prefix(end + 1);
    }
}

void forEachTableRow(std::string_view text, const std::string& fileName, std::string_view header,
                     const std::function<void(std::string_view line, const std::string& where)>& row) {
    std::int64_t lineNumber = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::string where = fileName + ", line " + std::to_string(lineNumber);
        if (lineNumber > 1) {
            row(line, where);
        } else if (line != header) {
            throw InputRefused(where + ": the header should be '" + std::string(header) + "'\n");
        }
    }
    if (lineNumber == 0) throw InputRefused(fileName + ": is empty; it should start with the header row\n");
}

}  // namespace triotdt::io
