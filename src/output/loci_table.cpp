#include "output/loci_table.h"

#include <algorithm>
#include <charconv>

#include "io/file_text.h"
#include "io/run_error.h"

namespace triotdt::output {
namespace {

constexpr std::string_view header = "locus\tchromosome\tposition\tmarker\talleles";

template <class Integer>
bool parseInteger(std::string_view text, Integer& value) {
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size();
}

LocusRow parseRow(std::string_view line, std::int32_t expectedLocus, const std::string& where) {
    const auto fail = [&](const std::string& problem) { throw io::InputRefused(where + ": " + problem + "\n"); };
    const std::vector<std::string_view> fields = io::splitFields(line, '\t');
    if (fields.size() != 5) {
        fail(std::to_string(fields.size()) +
             " tab-separated fields; a row has five: locus, chromosome, position, marker, alleles");
    }
    LocusRow row;
    if (!parseInteger(fields[0], row.locus) || row.locus != expectedLocus) {
        fail("locus '" + std::string(fields[0]) + "' should be " + std::to_string(expectedLocus));
    }
    row.chromosome = fields[1];
    if (!parseInteger(fields[2], row.position)) fail("position '" + std::string(fields[2]) + "' is not a whole number");
    row.marker = fields[3];
    for (const std::string_view label : io::splitFields(fields[4], ',')) {
        if (label.empty()) fail("an allele label is empty in '" + std::string(fields[4]) + "'");
        row.alleles.emplace_back(label);
    }
    return row;
}

}  // namespace

std::string formatLociTable(const std::vector<LocusRow>& rows) {
    std::string text(header);
    text += '\n';
    for (const LocusRow& row : rows) {
        text += std::to_string(row.locus) + '\t' + row.chromosome + '\t' + std::to_string(row.position) + '\t' +
                row.marker + '\t';
        for (std::size_t a = 0; a < row.alleles.size(); ++a) {
            if (a > 0) text += ',';
            text += row.alleles[a];
        }
        text += '\n';
    }
    return text;
}

std::vector<LocusRow> parseLociTable(std::string_view text, const std::string& fileName) {
    std::vector<LocusRow> rows;
    io::forEachTableRow(text, fileName, header, [&rows](std::string_view line, const std::string& where) {
        rows.push_back(parseRow(line, static_cast<std::int32_t>(rows.size()) + 1, where));
    });
    return rows;
}

std::vector<LocusRow> readLociTable(const std::string& path) { return parseLociTable(io::readFileText(path), path); }

bool namesChromosomeX(std::string_view chromosome) {
    const auto lower = [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c); };
    if (chromosome.size() > 3 && lower(chromosome[0]) == 'c' && lower(chromosome[1]) == 'h' &&
        lower(chromosome[2]) == 'r') {
        chromosome.remove_prefix(3);
    }
    return chromosome == "X" || chromosome == "x" || chromosome == "23";
}

void refuseSeveralChromosomes(const std::vector<LocusRow>& rows, const std::string& fileName) {
    std::vector<std::string> chromosomes;
    for (const LocusRow& row : rows) {
        if (std::find(chromosomes.begin(), chromosomes.end(), row.chromosome) == chromosomes.end()) {
            chromosomes.push_back(row.chromosome);
        }
    }
    if (chromosomes.size() <= 1) return;
    std::string named;
    for (std::size_t c = 0; c < chromosomes.size() && c < 5; ++c) named += (c > 0 ? ", " : "") + chromosomes[c];
    if (chromosomes.size() > 5) named += ", ...";
    throw io::InputRefused(
        fileName + ": the loci lie on " + std::to_string(chromosomes.size()) + " chromosomes (" + named +
        "), and a window must not join the end of one chromosome to the start of the next.\n"
        "Import again: 'triotdt import' writes a run folder for each chromosome (chr1/, chr2/, ...), and "
        "'triotdt import --chromosome NAME' imports one.\n");
}

}  // namespace triotdt::output
