#include "io/text_reader.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "io/run_error.h"

namespace triotdt::io {
namespace {

constexpr std::size_t chunkSize = 1 << 16;
// A token longer than this cannot be a 32-bit integer; keep only its start for the message.
constexpr std::size_t tokenShown = 24;

bool isBlank(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }
bool isSeparator(int c) { return c < 0 || isBlank(c) || c == ',' || c == '\n'; }

// Reads a value token one character at a time, so that a token of any length
// (leading zeros included) is judged without being stored whole.
struct IntegerParser {
    std::int64_t magnitude = 0;
    bool negative = false;
    bool hasDigits = false;
    bool notDigit = false;
    bool tooLarge = false;
    std::size_t length = 0;

    void take(char c) {
        if (length++ == 0 && (c == '+' || c == '-')) {
            negative = c == '-';
        } else if (c >= '0' && c <= '9') {
            hasDigits = true;
            if (!tooLarge) {
                magnitude = magnitude * 10 + (c - '0');
                tooLarge = magnitude > (negative ? 2147483648LL : 2147483647LL);
            }
        } else {
            notDigit = true;
        }
    }
    // Empty when the token is a valid 32-bit integer, otherwise why it is not.
    std::string_view problem() const {
        if (notDigit || !hasDigits) return "not a whole number";
        if (tooLarge) return "outside the range of 32-bit integers";
        return {};
    }
    std::int32_t value() const { return static_cast<std::int32_t>(negative ? -magnitude : magnitude); }
};

std::string printable(std::string_view token, bool cut) {
    std::string shown;
    for (const char c : token) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f) {
            shown += c;
        } else {
            static const char* digits = "0123456789abcdef";
            shown += "\\x";
            shown += digits[u >> 4];
            shown += digits[u & 15];
        }
    }
    if (cut) shown += "...";
    return shown;
}

}  // namespace

TextReader::TextReader(FileDescriptor file, std::string fileName)
    : file_(std::move(file)), fileName_(std::move(fileName)) {}

TextReader::TextReader(std::string fileName, std::string text)
    : fileName_(std::move(fileName)), chunk_(std::move(text)), endOfFile_(true) {}

TextReader TextReader::fromText(std::string text, std::string fileName) {
    return TextReader(std::move(fileName), std::move(text));
}

int TextReader::peek() {
    while (pos_ == chunk_.size()) {
        if (endOfFile_) return -1;
        chunk_.resize(chunkSize);
        ssize_t got;
        do {
            got = ::read(file_.get(), chunk_.data(), chunkSize);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            const int error = errno;
            chunk_.clear();
            pos_ = 0;
            throw RunError(ErrorCode::readFailed, readStatement(),
                           std::string("the file cannot be read: ") + std::strerror(error));
        }
        chunk_.resize(static_cast<std::size_t>(got));
        pos_ = 0;
        if (got == 0) endOfFile_ = true;
    }
    return static_cast<unsigned char>(chunk_[pos_]);
}

void TextReader::advance() {
    lastByteEndedLine_ = chunk_[pos_] == '\n';
    if (lastByteEndedLine_) ++line_;
    ++pos_;
}

void TextReader::skipRestOfLine() {
    for (int c = peek(); c >= 0; c = peek()) {
        advance();
        if (c == '\n') break;
    }
}

std::string TextReader::readStatement() const { return "READ of file '" + fileName_ + "' (" + statement_ + ")"; }

void TextReader::failEndOfFile(std::int64_t count, std::int64_t read) const {
    // The whole file has been consumed: after a final line end the counter
    // already stands on a line that does not exist.
    const std::int64_t lastLine = lastByteEndedLine_ ? line_ - 1 : line_;
    std::string reason =
        "end of file: the statement needs " + std::to_string(count) + (count == 1 ? " value" : " values");
    reason += lastLine == 0
                  ? std::string(" and the file is empty")
                  : " and the file ended after " + std::to_string(read) + " (line " + std::to_string(lastLine) + ")";
    throw RunError(ErrorCode::endOfFile, readStatement(), reason);
}

void TextReader::failInvalid(std::int64_t index, std::int64_t count, std::string_view token, std::string_view why,
                             const ValueDescriber& describe) const {
    std::string where = "value " + std::to_string(index + 1) + " of " + std::to_string(count);
    if (describe) where += " (" + describe(index) + ")";
    throw RunError(ErrorCode::invalidNumber, readStatement(),
                   "invalid number '" + printable(token.substr(0, tokenShown), token.size() > tokenShown) +
                       "' on line " + std::to_string(line_) + ", " + where + ": " + std::string(why));
}

void TextReader::readIntegers(std::int64_t count, std::string_view statement, std::vector<std::int32_t>& out,
                              const ValueDescriber& describe) {
    statement_ = statement;
    if (!atLineStart_) skipRestOfLine();
    atLineStart_ = false;
    std::string token;
    for (std::int64_t index = 0; index < count; ++index) {
        // Separators before the value: blanks, line ends and at most one comma
        // (none before the first value of the statement).
        int commas = index == 0 ? 1 : 0;
        int c = peek();
        while (c >= 0 && (isBlank(c) || c == '\n' || c == ',')) {
            if (c == ',' && ++commas > 1) failInvalid(index, count, "", "empty value between commas", describe);
            advance();
            c = peek();
        }
        if (c < 0) failEndOfFile(count, index);
        token.clear();
        IntegerParser parser;
        while (!isSeparator(c)) {
            parser.take(static_cast<char>(c));
            if (token.size() <= tokenShown) token += static_cast<char>(c);
            advance();
            // Once the shown part is full and a character is not a digit, the
            // rest cannot change the message: stop reading, so that a device
            // without separators, such as /dev/zero, is refused at once.
            if (parser.notDigit && token.size() > tokenShown) break;
            c = peek();
        }
        if (const std::string_view why = parser.problem(); !why.empty()) {
            failInvalid(index, count, token, why, describe);
        }
        const std::int32_t value = parser.value();
        out.push_back(value);
    }
}

std::int64_t TextReader::knownSize() const {
    if (file_.get() < 0) return static_cast<std::int64_t>(chunk_.size());
    struct stat status {};
    if (::fstat(file_.get(), &status) != 0 || !S_ISREG(status.st_mode)) return 0;
    return static_cast<std::int64_t>(status.st_size);
}

std::int32_t TextReader::readInteger(std::string_view statement) {
    std::vector<std::int32_t> value;
    readIntegers(1, statement, value);
    return value.front();
}

}  // namespace triotdt::io
