#include "output/results_table.h"

#include <algorithm>
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

// The columns after skipped_reason when the counter-based stream is used,
// then those of family-wise p-values, then those of the reference.
const std::vector<std::string> counterColumnNames = {"stream", "seed", "replicate_rule", "max_replicates"};
constexpr std::size_t counterColumns = 4;

std::vector<std::string> namesOf(const char* prefix) {
    std::vector<std::string> names;
    for (const char* statistic : statistics::statisticNames) names.push_back(std::string(prefix) + statistic);
    return names;
}

const std::vector<std::string> familyWiseColumnNames = namesOf("fwer_");
const std::vector<std::string> referenceColumnNames = [] {
    std::vector<std::string> names = namesOf("haplotypes_");
    for (const std::string& name : namesOf("neg_log10_tail_")) names.push_back(name);
    return names;
}();

// The forms of a row, by its number of fields: the results alone, with the
// counter-based stream's columns, with family-wise p-values, with the reference.
constexpr std::size_t withCounter = columnCount + counterColumns;
constexpr std::size_t withFamilyWise = withCounter + statisticCount;
constexpr std::size_t withReference = withFamilyWise + 2 * statisticCount;

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
        const std::size_t count = fields_.size();
        if (count != columnCount && count != withCounter && count != withFamilyWise && count != withReference) {
            fail("it has " + std::to_string(count) + " fields");
        }
    }

    std::size_t size() const { return fields_.size(); }
    std::string_view text(std::size_t column) const { return fields_[column]; }
    std::string name(std::size_t column) const {
        if (column < columnCount) return columnNames[column];
        if (column < withCounter) return counterColumnNames[column - columnCount];
        if (column < withFamilyWise) return familyWiseColumnNames[column - withCounter];
        return referenceColumnNames[column - withFamilyWise];
    }

    template <class Integer>
    Integer integer(std::size_t column, Integer ifEmpty = 0) const {
        const std::string_view field = text(column);
        if (field.empty()) return ifEmpty;
        Integer value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (error != std::errc() || end != field.data() + field.size()) fail("bad " + name(column));
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
        if (end != field.c_str() + field.size()) fail("bad " + name(column));
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
    if (row.size() >= withFamilyWise && !row.text(withCounter).empty()) {
        window.familyWisePValues.emplace();
        for (std::size_t s = 0; s < statisticCount; ++s) (*window.familyWisePValues)[s] = row.real(withCounter + s);
    }
    if (row.size() == withReference) {
        for (std::size_t s = 0; s < statisticCount; ++s) {
            window.tailHaplotypes[s] = row.integer<std::int32_t>(withFamilyWise + s);
            window.observedDepths[s] = row.real(withFamilyWise + statisticCount + s);
        }
    }
    return window;
}

// The columns a rule and form of row add after skipped_reason.
std::vector<std::string> extraColumnNames(const resampling::ResamplingRule& rule, bool withTails) {
    std::vector<std::string> names;
    if (rule.counterBased()) names = counterColumnNames;
    if (rule.familyWise) names.insert(names.end(), familyWiseColumnNames.begin(), familyWiseColumnNames.end());
    if (withTails) names.insert(names.end(), referenceColumnNames.begin(), referenceColumnNames.end());
    return names;
}

}  // namespace

std::string tableReal(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void appendTableHeader(std::string& out, const resampling::ResamplingRule& rule, bool withTails) {
    appendLine(out, columnNames, extraColumnNames(rule, withTails));
}

void appendTableRow(std::string& out, const WindowResult& window, const std::vector<LocusRow>& loci,
                    const resampling::ResamplingRule& rule, bool withTails) {
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
    std::vector<std::string> more = counterFields(rule, window.replicateCount);
    if (rule.familyWise) {
        for (std::size_t s = 0; s < statisticCount; ++s) {
            const bool known = window.familyWisePValues && !window.skipped;
            more.push_back(known ? tableReal((*window.familyWisePValues)[s]) : std::string());
        }
    }
    if (withTails) {
        for (std::size_t s = 0; s < statisticCount; ++s) {
            more.push_back(window.skipped ? std::string() : std::to_string(window.tailHaplotypes[s]));
        }
        for (std::size_t s = 0; s < statisticCount; ++s) {
            more.push_back(window.skipped ? std::string() : tableReal(window.observedDepths[s]));
        }
    }
    appendLine(out, fields, more);
}

std::string resultsRowOf(std::string_view line, std::string_view chromosomeName) {
    std::vector<std::string_view> fields = io::splitFields(line, '\t');
    if (fields.size() == withReference) fields.resize(withFamilyWise);
    std::string row;
    for (std::size_t c = 0; c < fields.size(); ++c) {
        if (c != 0) row += '\t';
        row += c == chromosome && fields[c].empty() ? chromosomeName : fields[c];
    }
    return row;
}

WindowResult parseTableRow(std::string_view line, const std::string& where) { return readRow(RowReader(line, where)); }

void readTableFile(const std::string& path, const std::function<void(const WindowResult&)>& take) {
    // The headers of every form of row.
    std::vector<std::string> headers(4);
    const resampling::ResamplingRule counter{0}, familyWise{0, 0, true};
    appendTableHeader(headers[0], {});
    appendTableHeader(headers[1], counter);
    appendTableHeader(headers[2], familyWise);
    appendTableHeader(headers[3], familyWise, true);
    for (std::string& header : headers) header.pop_back();
    std::int64_t lineNumber = 0;
    io::readLines(path, [&](std::string_view line) {
        ++lineNumber;
        if (lineNumber > 1 || std::find(headers.begin(), headers.end(), line) == headers.end())
            take(parseTableRow(line, path + ", line " + std::to_string(lineNumber)));
    });
}

}  // namespace triotdt::output
