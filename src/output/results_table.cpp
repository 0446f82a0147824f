#include "output/results_table.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <utility>

#include "io/file_text.h"
#include "io/run_error.h"
#include "statistics/five_statistics.h"

namespace triotdt::output {
namespace {

using statistics::statisticCount;
using window::WindowResult;

// The columns, in their order: the header, the rows and their reading all go
// by this one list.
enum Column : std::size_t {
    windowSize,
    firstLocus,
    lastLocus,
    chromosome,
    firstMarker,
    firstPosition,
    lastMarker,
    lastPosition,
    families,
    familiesKnownPhase,
    distinctHaplotypes,
    possibleHaplotypes,
    firstStatistic,                                 // stat_Punamb ... stat_Pem
    firstPValue = firstStatistic + statisticCount,  // p_Punamb ... p_Pem
    replicates = firstPValue + statisticCount,
    skippedReason,
    columnCount
};

using Fields = std::array<std::string, columnCount>;

const Fields columnNames = [] {
    Fields names{"window_size",  "first_locus",          "last_locus",          "chromosome",
                 "first_marker", "first_position",       "last_marker",         "last_position",
                 "families",     "families_known_phase", "distinct_haplotypes", "possible_haplotypes"};
    for (std::size_t s = 0; s < statisticCount; ++s) {
        names[firstStatistic + s] = std::string("stat_") + statistics::statisticNames[s];
        names[firstPValue + s] = std::string("p_") + statistics::statisticNames[s];
    }
    names[replicates] = "replicates";
    names[skippedReason] = "skipped_reason";
    return names;
}();

constexpr const char* skipReason = "more haplotypes than 32-bit codes can number";

// The columns after skipped_reason when the counter-based stream is used.
const std::vector<std::string> counterColumnNames = {"stream", "seed", "replicate_rule", "max_replicates"};

// The values of those columns; none with the run's stream.
std::vector<std::string> counterFields(const resampling::ResamplingRule& rule, std::int32_t replicateCount) {
    if (!rule.counterBased()) return {};
    if (rule.adaptive())
        return {"philox4x32-10", std::to_string(*rule.seed), "adaptive", std::to_string(rule.maxReplicates)};
    return {"philox4x32-10", std::to_string(*rule.seed), "fixed", std::to_string(replicateCount)};
}

void appendLine(std::string& out, const Fields& fields, const std::vector<std::string>& more) {
    for (std::size_t c = 0; c < columnCount; ++c) {
        if (c != 0) out += '\t';
        out += fields[c];
    }
    for (const std::string& field : more) out += '\t' + field;
    out += '\n';
}

// Text from tdtloci.tsv, kept from being read as a quoted field by R or pandas.
std::string unquoted(std::string text) {
    for (char& c : text) {
        if (c == '"') c = '\'';
    }
    return text;
}

// Marker fields of one end of a window: name and position, empty when unknown.
void setMarker(Fields& fields, Column marker, Column position, const std::vector<LocusRow>& loci, std::int32_t locus) {
    const auto index = static_cast<std::size_t>(locus - 1);
    if (locus < 1 || index >= loci.size()) return;
    fields[marker] = unquoted(loci[index].marker);
    fields[position] = std::to_string(loci[index].position);
}

// The fields of one row, by column.
class RowReader {
public:
    RowReader(std::string_view line, std::string where)
        : fields_(io::splitFields(line, '\t')), where_(std::move(where)) {
        if (fields_.size() != columnCount && fields_.size() != columnCount + counterColumnNames.size()) {
            fail("it has " + std::to_string(fields_.size()) + " fields");
        }
    }

    std::string_view text(std::size_t column) const { return fields_[column]; }

    template <class Integer>
    Integer integer(std::size_t column, Integer ifEmpty = 0) const {
        const std::string_view field = text(column);
        if (field.empty()) return ifEmpty;
        Integer value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (error != std::errc() || end != field.data() + field.size()) fail("bad " + columnNames[column]);
        return value;
    }

    double real(std::size_t column) const {
        const std::string field(text(column));
        if (field.empty()) return 0.0;
        if (field == "NaN") return std::numeric_limits<double>::quiet_NaN();
        if (field == "Inf") return std::numeric_limits<double>::infinity();
        if (field == "-Inf") return -std::numeric_limits<double>::infinity();
        char* end = nullptr;
        const double value = std::strtod(field.c_str(), &end);
        if (end != field.c_str() + field.size()) fail("bad " + columnNames[column]);
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw io::InputRefused(where_ + ": not a row of the results table: " + why + "\n");
    }

    std::vector<std::string_view> fields_;
    std::string where_;
};

WindowResult readRow(const RowReader& row) {
    WindowResult window;
    window.size = row.integer<std::int32_t>(windowSize);
    window.start = row.integer<std::int32_t>(firstLocus);
    window.haplotypeCount = row.integer<std::int64_t>(possibleHaplotypes, std::numeric_limits<std::int64_t>::max());
    window.skipped = !row.text(skippedReason).empty();
    window.families = row.integer<std::int32_t>(families);
    window.familiesOfKnownPhase = row.integer<std::int32_t>(familiesKnownPhase);
    window.distinctHaplotypes = row.integer<std::int32_t>(distinctHaplotypes);
    window.replicateCount = row.integer<std::int32_t>(replicates);
    for (std::size_t s = 0; s < statisticCount; ++s) {
        window.statistics[s] = row.real(firstStatistic + s);
        window.pValues[s] = row.real(firstPValue + s);
    }
    return window;
}

}  // namespace

std::string tableReal(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void appendTableHeader(std::string& out, const resampling::ResamplingRule& rule) {
    appendLine(out, columnNames, rule.counterBased() ? counterColumnNames : std::vector<std::string>{});
}

void appendTableRow(std::string& out, const WindowResult& window, const std::vector<LocusRow>& loci,
                    const resampling::ResamplingRule& rule) {
    Fields fields;
    const std::int32_t last = window.lastLocus();
    fields[windowSize] = std::to_string(window.size);
    fields[firstLocus] = std::to_string(window.start);
    fields[lastLocus] = std::to_string(last);
    const bool named = static_cast<std::size_t>(last) <= loci.size() && window.start >= 1;
    if (named) fields[chromosome] = unquoted(loci[static_cast<std::size_t>(window.start - 1)].chromosome);
    setMarker(fields, firstMarker, firstPosition, loci, window.start);
    setMarker(fields, lastMarker, lastPosition, loci, last);
    if (window.haplotypeCount != std::numeric_limits<std::int64_t>::max()) {
        fields[possibleHaplotypes] = std::to_string(window.haplotypeCount);
    }
    if (window.skipped) {
        fields[skippedReason] = skipReason;
    } else {
        fields[families] = std::to_string(window.families);
        fields[familiesKnownPhase] = std::to_string(window.familiesOfKnownPhase);
        fields[distinctHaplotypes] = std::to_string(window.distinctHaplotypes);
        for (std::size_t s = 0; s < statisticCount; ++s) {
            fields[firstStatistic + s] = tableReal(window.statistics[s]);
            fields[firstPValue + s] = tableReal(window.pValues[s]);
        }
        fields[replicates] = std::to_string(window.replicateCount);
    }
    appendLine(out, fields, counterFields(rule, window.replicateCount));
}

void readTableFile(const std::string& path, const std::function<void(const WindowResult&)>& take) {
    // The header of a table without, and with, the counter-based stream's columns.
    std::string header, counterHeader;
    appendTableHeader(header, {});
    appendTableHeader(counterHeader, resampling::ResamplingRule{0});
    header.pop_back();
    counterHeader.pop_back();
    std::string line;
    std::int64_t lineNumber = 0;
    const auto takeLine = [&] {
        ++lineNumber;
        if (lineNumber > 1 || (line != header && line != counterHeader))
            take(readRow(RowReader(line, path + ", line " + std::to_string(lineNumber))));
        line.clear();
    };
    io::readPieces(path, [&](std::string_view piece) {
        for (std::size_t end = piece.find('\n'); end != std::string_view::npos; end = piece.find('\n')) {
            line += piece.substr(0, end);
            takeLine();
            piece.remove_prefix(end + 1);
        }
        line += piece;
    });
    if (!line.empty()) takeLine();
}

}  // namespace triotdt::output
