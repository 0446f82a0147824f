#include "shard/checksum.h"

#include <cstring>

#include "io/file_text.h"

namespace triotdt::shard {
namespace {

constexpr std::uint64_t prime1 = 0x9E3779B185EBCA87u;
constexpr std::uint64_t prime2 = 0xC2B2AE3D27D4EB4Fu;

std::uint64_t rotate(std::uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

// Eight bytes as a little-endian number, whatever the machine's byte order.
std::uint64_t loadWord(const unsigned char* p) {
    std::uint64_t word = 0;
    for (int i = 7; i >= 0; --i) word = (word << 8) | p[i];
    return word;
}

std::uint64_t mixLane(std::uint64_t lane, std::uint64_t word) { return rotate(lane + word * prime2, 31) * prime1; }

std::uint64_t finalMix(std::uint64_t h) {
    h ^= h >> 33;
    h *= prime2;
    h ^= h >> 29;
    h *= prime1;
    h ^= h >> 32;
    return h;
}

}  // namespace

void Checksum::addBlock(const unsigned char* block) {
    for (int lane = 0; lane < 4; ++lane) lanes_[lane] = mixLane(lanes_[lane], loadWord(block + 8 * lane));
}

void Checksum::add(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t left = bytes.size();
    length_ += left;
    if (pendingCount_ > 0) {
        const std::size_t take = std::min(left, sizeof pending_ - pendingCount_);
        std::memcpy(pending_ + pendingCount_, p, take);
        pendingCount_ += take;
        p += take;
        left -= take;
        if (pendingCount_ < sizeof pending_) return;
        addBlock(pending_);
        pendingCount_ = 0;
    }
    for (; left >= sizeof pending_; p += sizeof pending_, left -= sizeof pending_) addBlock(p);
    std::memcpy(pending_, p, left);
    pendingCount_ = left;
}

std::uint64_t Checksum::value() const {
    std::uint64_t h = rotate(lanes_[0], 1) + rotate(lanes_[1], 7) + rotate(lanes_[2], 12) + rotate(lanes_[3], 18);
    h = (h ^ length_) * prime1;
    for (std::size_t i = 0; i < pendingCount_; ++i) h = rotate(h ^ (pending_[i] * prime2), 11) * prime1;
    return finalMix(h);
}

FileSum sumFile(const std::string& path) {
    Checksum sum;
    io::readPieces(path, [&](std::string_view piece) { sum.add(piece); });
    return FileSum{sum.byteCount(), sum.value()};
}

std::string hexChecksum(std::uint64_t value) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = digits[value & 15];
    return text;
}

bool parseHexChecksum(std::string_view text, std::uint64_t& value) {
    if (text.size() != 16) return false;
    std::uint64_t result = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0) return false;
        result = (result << 4) | static_cast<std::uint64_t>(digit);
    }
    value = result;
    return true;
}

}  // namespace triotdt::shard
