#include "shard/table_rows.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "io/file_text.h"
#include "io/run_error.h"
#include "output/results_table.h"
#include "shard/manifest.h"
#include "statistics/five_statistics.h"

namespace triotdt::shard {
namespace {

// Where each column of the table stands, from the writer's own header.
struct Columns {
    std::vector<std::string> names;

    Columns() {
        std::string header;
        output::appendTableHeader(header);
        header.pop_back();
        for (const std::string_view name : io::splitFields(header, '\t')) names.emplace_back(name);
    }
    std::size_t operator[](std::string_view name) const {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == name) return i;
        }
        throw std::logic_error("the results table has no column " + std::string(name));
    }
};

class RowReader {
public:
    RowReader(const Columns& columns, std::vector<std::string_view> fields, const std::string& where)
        : columns_(columns), fields_(std::move(fields)), where_(where) {
        if (fields_.size() != columns_.names.size()) fail("it has " + std::to_string(fields_.size()) + " fields");
    }

    std::string_view text(std::string_view column) const { return fields_[columns_[column]]; }

    template <class Integer>
    Integer integer(std::string_view column, Integer ifEmpty = 0) const {
        const std::string_view field = text(column);
        if (field.empty()) return ifEmpty;
        Integer value = 0;
        const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (error != std::errc() || end != field.data() + field.size()) fail("bad " + std::string(column));
        return value;
    }

    double real(std::string_view column) const {
        const std::string field(text(column));
        if (field.empty()) return 0.0;
        if (field == "NaN") return std::numeric_limits<double>::quiet_NaN();
        if (field == "Inf") return std::numeric_limits<double>::infinity();
        if (field == "-Inf") return -std::numeric_limits<double>::infinity();
        char* end = nullptr;
        const double value = std::strtod(field.c_str(), &end);
        if (end != field.c_str() + field.size()) fail("bad " + std::string(column));
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw io::InputRefused(where_ + ": not a row of the results table: " + why + "\n");
    }

    const Columns& columns_;
    std::vector<std::string_view> fields_;
    const std::string& where_;
};

window::WindowResult readRow(const RowReader& row) {
    window::WindowResult window;
    window.size = row.integer<std::int32_t>("window_size");
    window.start = row.integer<std::int32_t>("first_locus");
    window.haplotypeCount = row.integer<std::int64_t>("possible_haplotypes", std::numeric_limits<std::int64_t>::max());
    window.skipped = !row.text("skipped_reason").empty();
    window.familiesOfKnownPhase = row.integer<std::int32_t>("families_known_phase");
    window.distinctHaplotypes = row.integer<std::int32_t>("distinct_haplotypes");
    window.replicateCount = row.integer<std::int32_t>("replicates");
    for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
        window.statistics[s] = row.real(std::string("stat_") + statistics::statisticNames[s]);
        window.pValues[s] = row.real(std::string("p_") + statistics::statisticNames[s]);
    }
    return window;
}

}  // namespace

std::vector<window::WindowResult> readTableRows(std::string_view rows, const std::string& where) {
    static const Columns columns;
    std::vector<window::WindowResult> windows;
    std::int64_t line = 0;
    while (!rows.empty()) {
        const std::size_t end = rows.find('\n');
        const std::string_view text = rows.substr(0, end);
        rows.remove_prefix(end == std::string_view::npos ? rows.size() : end + 1);
        ++line;
        const std::string place = where + ", line " + std::to_string(line);
        windows.push_back(readRow(RowReader(columns, io::splitFields(text, '\t'), place)));
    }
    return windows;
}

}  // namespace triotdt::shard
