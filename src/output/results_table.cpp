#include "output/results_table.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace triotdt::output {
namespace {

constexpr const char* statisticNames[] = {"Punamb", "Pg", "Pe", "Pc", "Pem"};
constexpr const char* skipReason = "more haplotypes than 32-bit codes can number";

struct Row {
    std::string& out;
    bool first = true;

    void field(const std::string& text) {
        if (!first) out += '\t';
        out += text;
        first = false;
    }
    void number(std::int64_t value) { field(std::to_string(value)); }
    void end() { out += '\n'; }
};

// Text from tdtloci.tsv, kept from being read as a quoted field by R or pandas.
std::string unquoted(std::string text) {
    for (char& c : text) {
        if (c == '"') c = '\'';
    }
    return text;
}

// Marker fields of one end of a window: name and position, empty when unknown.
void addMarker(Row& row, const std::vector<LocusRow>& loci, std::int32_t locus) {
    const auto index = static_cast<std::size_t>(locus - 1);
    if (locus < 1 || index >= loci.size()) {
        row.field("");
        row.field("");
        return;
    }
    row.field(unquoted(loci[index].marker));
    row.number(loci[index].position);
}

}  // namespace

std::string tableReal(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Inf" : "Inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void appendTableHeader(std::string& out) {
    Row row{out};
    for (const char* name :
         {"window_size", "first_locus", "last_locus", "chromosome", "first_marker", "first_position", "last_marker",
          "last_position", "families", "families_known_phase", "distinct_haplotypes", "possible_haplotypes"}) {
        row.field(name);
    }
    for (const char* name : statisticNames) row.field(std::string("stat_") + name);
    for (const char* name : statisticNames) row.field(std::string("p_") + name);
    row.field("replicates");
    row.field("skipped_reason");
    row.end();
}

void appendTableRow(std::string& out, const window::WindowResult& window, const std::vector<LocusRow>& loci) {
    Row row{out};
    const std::int32_t last = window.start + window.size - 1;
    row.number(window.size);
    row.number(window.start);
    row.number(last);
    const bool named = static_cast<std::size_t>(last) <= loci.size() && window.start >= 1;
    row.field(named ? unquoted(loci[static_cast<std::size_t>(window.start - 1)].chromosome) : "");
    addMarker(row, loci, window.start);
    addMarker(row, loci, last);
    const bool saturated = window.haplotypeCount == std::numeric_limits<std::int64_t>::max();
    if (window.skipped) {
        row.field("");
        row.field("");
        row.field("");
    } else {
        row.number(window.families);
        row.number(window.familiesOfKnownPhase);
        row.number(window.distinctHaplotypes);
    }
    row.field(saturated ? "" : std::to_string(window.haplotypeCount));
    for (const auto* values : {&window.statistics, &window.pValues}) {
        for (const double value : *values) row.field(window.skipped ? "" : tableReal(value));
    }
    row.field(window.skipped ? "" : std::to_string(window.replicateCount));
    row.field(window.skipped ? skipReason : "");
    row.end();
}

}  // namespace triotdt::output
