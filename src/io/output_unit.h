#pragma once

#include <string>
#include <string_view>

#include "io/file_descriptor.h"

namespace triotdt::io {

// Opens `name` for reading; it must exist and be a regular file. Throws
// RunError (file not found, or why it cannot be opened).
FileDescriptor openExisting(const std::string& name);

// One output stream of the run (a report file or the console). Text is
// appended to `text()` and written out in large pieces; every failed or short
// write ends the run with a RunError naming the file.
class OutputUnit {
public:
    // Creates `name`, which must not exist yet (never overwrites a file).
    // Messages name the file `shownName` when it is given.
    static OutputUnit createNew(const std::string& name, std::string_view lineEnd, const std::string& shownName = {});
    // Standard output, with "\n" line ends.
    static OutputUnit console();
    // Standard error, with "\n" line ends.
    static OutputUnit standardError();

    OutputUnit(OutputUnit&& other) noexcept;
    OutputUnit& operator=(OutputUnit&&) = delete;
    OutputUnit(const OutputUnit&) = delete;
    ~OutputUnit();

    std::string& text() { return buffer_; }
    std::string_view lineEnd() const { return lineEnd_; }
    const std::string& name() const { return name_; }

    // Writes the text gathered so far once it is large.
    void flushIfLarge();
    // Writes all the text gathered so far.
    void flush();
    // Writes everything and closes the file; a report whose last bytes could
    // not be stored fails here rather than passing for complete.
    void finish();

private:
    OutputUnit(int fd, FileDescriptor owned, std::string name, std::string_view lineEnd);

    int fd_;
    FileDescriptor owned_;  // open for a file, empty for the console
    std::string name_;
    std::string_view lineEnd_;
    std::string buffer_;
};

}  // namespace triotdt::io
