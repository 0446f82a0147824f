#include "import/line_reader.h"

#include <charconv>
#include <filesystem>

#include "driver/interruption.h"
#include "import/import_error.h"

namespace triotdt::import {
namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

}  // namespace

void checkReadable(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) throw ImportError(path + ": file not found");
    if (std::filesystem::is_directory(status)) throw ImportError(path + ": is a folder, not a file");
}

LineReader::LineReader(std::string path) : path_(std::move(path)) {
    checkReadable(path_);
    stream_.open(path_, std::ios::binary);
    if (!stream_) throw ImportError(path_ + ": cannot be opened for reading");
}

bool LineReader::next() {
    // Every text input is read through here: a signal stops the import at the next line.
    driver::stopIfInterrupted();
    while (std::getline(stream_, line_)) {
        ++lineNumber_;
        fields_.clear();
        std::string_view line(line_);
        if (lineNumber_ == 1 && line.starts_with(byteOrderMark)) line.remove_prefix(byteOrderMark.size());
        std::size_t pos = 0;
        for (;;) {
            pos = line.find_first_not_of(" \t\r", pos);
            if (pos == std::string_view::npos) break;
            const std::size_t end = std::min(line.find_first_of(" \t\r", pos), line.size());
            fields_.push_back(line.substr(pos, end - pos));
            pos = end;
        }
        if (!fields_.empty() && !fields_.front().starts_with('#')) return true;
    }
    if (stream_.bad()) throw ImportError(path_ + ": the file cannot be read after line " + std::to_string(lineNumber_));
    return false;
}

void LineReader::fail(const std::string& problem) const {
    throw ImportError(path_ + ", line " + std::to_string(lineNumber_) + ": " + problem);
}

bool parseWholeNumber(std::string_view text, std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end;
}

}  // namespace triotdt::import
