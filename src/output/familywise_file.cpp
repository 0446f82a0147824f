#include "output/familywise_file.h"

#include <charconv>
#include <cstdlib>
#include <vector>

#include "io/file_text.h"
#include "io/run_error.h"
#include "output/results_table.h"

namespace triotdt::output {
namespace {

constexpr const char* firstLine = "triotdt family-wise p-values";
constexpr const char* streamName = "philox4x32-10";

std::string statisticsLine() {
    std::string line = "statistics";
    for (const char* name : statistics::statisticNames) line += std::string("\t") + name;
    return line;
}

std::string windowsHeader() {
    std::string header;
    appendTableHeader(header, resampling::ResamplingRule{0, 0, true}, true);
    header.pop_back();
    return header;
}

// Reads the file a line at a time, in the order the grammar gives.
class FamilyWiseParser {
public:
    FamilyWiseParser(std::string path, const FamilyWiseRow& row) : path_(std::move(path)), row_(row) {}

    void take(std::string_view line) {
        ++lineNumber_;
        const std::vector<std::string_view> fields = io::splitFields(line, '\t');
        switch (part_) {
            case Part::head:
                return takeHead(line, fields);
            case Part::minima:
                return takeMinimum(fields);
            case Part::windowsHeader:
                if (line != windowsHeader()) fail("expected the header row of the windows");
                part_ = Part::windows;
                return;
            case Part::windows:
                if (line == "end") {
                    part_ = Part::ended;
                    return;
                }
                if (row_) row_(line, parseTableRow(line, where()));
                return;
            case Part::ended:
                fail("there is text after the end");
        }
    }

    FamilyWiseFile finish() {
        if (part_ != Part::ended) {
            ++lineNumber_;
            fail("the file is cut short (no 'end' line)");
        }
        return std::move(file_);
    }

private:
    enum class Part { head, minima, windowsHeader, windows, ended };

    std::string where() const { return path_ + ", line " + std::to_string(lineNumber_); }
    [[noreturn]] void fail(const std::string& why) const { throw io::InputRefused(where() + ": " + why + "\n"); }

    void expect(bool holds, const std::string& what) const {
        if (!holds) fail("expected " + what);
    }

    void takeHead(std::string_view line, const std::vector<std::string_view>& f) {
        FamilyWiseHead& head = file_.head;
        switch (lineNumber_) {
            case 1:
                expect(line == firstLine, std::string("'") + firstLine + "': this is not a family-wise file");
                return;
            case 2:
                expect(f.size() == 2 && f[0] == "version", "'version' and the program's version");
                head.version = std::string(f[1]);
                return;
            case 3:
                expect(f.size() == 3 && f[0] == "stream" && f[1] == streamName,
                       std::string("'stream', '") + streamName + "' and the seed");
                head.rule.seed = integer<std::uint64_t>(f[2]);
                head.rule.familyWise = true;
                return;
            case 4:
                expect(f.size() >= 3 && f[0] == "replicates" &&
                           ((f.size() == 3 && f[2] == "fixed") || (f.size() == 4 && f[2] == "adaptive")),
                       "'replicates', R and 'fixed', or 'adaptive' and the most replicates");
                head.replicateCount = integer<std::int32_t>(f[1]);
                if (f.size() == 4) head.rule.maxReplicates = integer<std::int32_t>(f[3]);
                expect(head.replicateCount >= 1 && (f.size() == 3 || head.rule.maxReplicates >= 1),
                       "replicate counts of 1 or more");
                return;
            case 5:
                expect(f.size() == 3 && f[0] == "trios", "'trios', the number of families and a checksum");
                head.familyCount = integer<std::int32_t>(f[1]);
                head.trioChecksum = std::string(f[2]);
                return;
            case 6: {
                expect(f.size() == 2 && f[0] == "sizes", "'sizes' and a list of window sizes");
                const std::optional<window::WindowSizes> sizes = window::WindowSizes::parse(f[1]);
                expect(sizes.has_value(), "a list of window sizes from 1 to 7");
                head.sizes = *sizes;
                return;
            }
            case 7:
                expect(line == statisticsLine(), "'statistics' and the five statistics");
                return;
            default:
                expect(f.size() == 2 && f[0] == "minima" && integer<std::int32_t>(f[1]) == head.replicateCount,
                       "'minima' and as many replicates as 'replicates' says");
                file_.minima.deepest.reserve(static_cast<std::size_t>(head.replicateCount));
                part_ = Part::minima;
        }
    }

    void takeMinimum(const std::vector<std::string_view>& f) {
        auto& deepest = file_.minima.deepest;
        if (f.size() == 1 && f[0] == "windows" &&
            deepest.size() == static_cast<std::size_t>(file_.head.replicateCount)) {
            part_ = Part::windowsHeader;
            return;
        }
        expect(f.size() == 1 + statistics::statisticCount &&
                   deepest.size() < static_cast<std::size_t>(file_.head.replicateCount) &&
                   integer<std::int64_t>(f[0]) == static_cast<std::int64_t>(deepest.size()),
               "replicate " + std::to_string(deepest.size()) + " and its five depths, or 'windows' after the last");
        statistics::FiveStatistics depths{};
        for (std::size_t s = 0; s < depths.size(); ++s) depths[s] = real(f[s + 1]);
        deepest.push_back(depths);
    }

    template <class Integer>
    Integer integer(std::string_view text) const {
        Integer value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
            fail("'" + std::string(text) + "' is not a whole number");
        }
        return value;
    }

    double real(std::string_view text) const {
        const std::string field(text);
        char* end = nullptr;
        const double value = std::strtod(field.c_str(), &end);
        if (field.empty() || end != field.c_str() + field.size() || !(value >= 0)) {
            fail("'" + field + "' is not a depth (0 or more)");
        }
        return value;
    }

    std::string path_;
    const FamilyWiseRow& row_;
    FamilyWiseFile file_;
    Part part_ = Part::head;
    std::int64_t lineNumber_ = 0;
};

}  // namespace

std::string formatFamilyWiseHead(const FamilyWiseHead& head, const familywise::MinimumTails& minima) {
    std::string text =
        std::string(firstLine) + "\nversion\t" + head.version + "\nstream\t" + streamName + "\t" +
        std::to_string(head.rule.seed.value_or(0)) + "\nreplicates\t" + std::to_string(head.replicateCount) +
        (head.rule.adaptive() ? "\tadaptive\t" + std::to_string(head.rule.maxReplicates) : "\tfixed") + "\ntrios\t" +
        std::to_string(head.familyCount) + "\t" + head.trioChecksum + "\nsizes\t" + head.sizes.text() + "\n" +
        statisticsLine() + "\nminima\t" + std::to_string(minima.replicateCount()) + "\n";
    for (std::size_t r = 0; r < minima.deepest.size(); ++r) {
        text += std::to_string(r);
        for (const double depth : minima.deepest[r]) text += "\t" + tableReal(depth);
        text += "\n";
    }
    return text + "windows\n" + windowsHeader() + "\n";
}

FamilyWiseFile readFamilyWiseFile(const std::string& path, const FamilyWiseRow& row) {
    FamilyWiseParser parser(path, row);
    io::readLines(path, [&](std::string_view line) { parser.take(line); });
    return parser.finish();
}

}  // namespace triotdt::output
