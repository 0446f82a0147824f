#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace triotdt::shard {

// A 64-bit checksum of a byte stream, to tell whether two files hold the
// same bytes (an input, a part of a shard). It guards against accidents (a
// truncated part, another input, a part from another run), not against
// someone forging a file. The value is the same on every machine and does not
// depend on how the stream is cut into pieces.
class Checksum {
public:
    void add(std::string_view bytes);
    std::uint64_t value() const;
    std::uint64_t byteCount() const { return length_; }

private:
    void addBlock(const unsigned char* block);

    std::uint64_t lanes_[4] = {0x243F6A8885A308D3u, 0x13198A2E03707344u, 0xA4093822299F31D0u, 0x082EFA98EC4E6C89u};
    unsigned char pending_[32] = {};
    std::size_t pendingCount_ = 0;
    std::uint64_t length_ = 0;
};

// The bytes and checksum of a whole file.
struct FileSum {
    std::uint64_t byteCount = 0;
    std::uint64_t checksum = 0;

    friend bool operator==(const FileSum&, const FileSum&) = default;
};

// Reads the file at `path` through. Throws RunError when it cannot be opened
// or read.
FileSum sumFile(const std::string& path);

// 16 lower-case hexadecimal digits, and back (nothing when the text is not that).
std::string hexChecksum(std::uint64_t value);
bool parseHexChecksum(std::string_view text, std::uint64_t& value);

}  // namespace triotdt::shard
