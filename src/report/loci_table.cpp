#include "report/loci_table.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <unistd.h>

#include "report/output_unit.h"
#include "report/run_error.h"

namespace triotdt::report {
namespace {

constexpr std::string_view header = "locus\tchromosome\tposition\tmarker\talleles";
constexpr std::size_t fieldCount = 5;

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t from = 0;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos) return parts;
        from = at + 1;
    }
}

bool parseWhole(std::string_view text, std::int64_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

struct RowReader {
    const std::string& fileName;
    std::int64_t line = 0;

    [[noreturn]] void fail(ErrorCode code, const std::string& why) const {
        throw RunError(code, "READ of file '" + fileName + "'", "line " + std::to_string(line) + ": " + why);
    }

    Locus parseRow(std::string_view row, std::int64_t expectedNumber) const {
        const std::vector<std::string_view> fields = split(row, '\t');
        if (fields.size() != fieldCount) {
            fail(ErrorCode::readFailed, "expected 5 tab-separated fields (locus, chromosome, position, marker, "
                                        "alleles), found " + std::to_string(fields.size()));
        }
        std::int64_t number = 0;
        if (!parseWhole(fields[0], number)) fail(ErrorCode::invalidNumber, "the locus number is not a whole number");
        if (number != expectedNumber) {
            fail(ErrorCode::readFailed, "locus " + std::to_string(number) + " where locus " +
                                            std::to_string(expectedNumber) + " was expected (loci are numbered 1, 2, ... in order)");
        }
        Locus locus;
        locus.chromosome = fields[1];
        if (!parseWhole(fields[2], locus.position) || locus.position < 0) {
            fail(ErrorCode::invalidNumber, "the position is not a base-pair position (a whole number, 0 or more)");
        }
        locus.marker = fields[3];
        for (const std::string_view label : split(fields[4], ',')) locus.alleles.emplace_back(label);
        return locus;
    }
};

std::string_view withoutCarriageReturn(std::string_view line) {
    return line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
}

}  // namespace

std::vector<Locus> parseLociTable(std::string_view text, const std::string& fileName) {
    RowReader reader{fileName, 1};
    if (text.empty()) reader.fail(ErrorCode::endOfFile, "the file is empty; it must start with the header row");
    if (text.ends_with('\n')) text.remove_suffix(1);
    reader.line = 0;
    std::vector<Locus> loci;
    for (const std::string_view rawLine : split(text, '\n')) {
        ++reader.line;
        const std::string_view line = withoutCarriageReturn(rawLine);
        if (reader.line == 1) {
            if (line != header) reader.fail(ErrorCode::readFailed, "the header row must be: locus, chromosome, position, marker, alleles (tab-separated)");
            continue;
        }
        loci.push_back(reader.parseRow(line, reader.line - 1));
    }
    return loci;
}

std::vector<Locus> readLociTable(const std::string& fileName) {
    const int fd = openExisting(fileName);
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            throw RunError(ErrorCode::readFailed, "READ of file '" + fileName + "'", std::strerror(error));
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return parseLociTable(text, fileName);
}

}  // namespace triotdt::report
