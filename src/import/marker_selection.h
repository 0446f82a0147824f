#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "import/chromosome.h"
#include "import/genotype_table.h"

namespace triotdt::import {

// A stretch of one chromosome, both ends included, or the whole chromosome.
struct Region {
    std::string chromosome;
    std::int64_t from = 1;
    std::int64_t to = std::numeric_limits<std::int64_t>::max();
    bool whole = true;

    bool contains(std::string_view chromosome_, std::int64_t position) const {
        return sameChromosome(chromosome_, chromosome) && position >= from && position <= to;
    }
    std::string text() const;  // "CHR:FROM-TO", or "CHR" for a whole chromosome
};

// "CHR:FROM-TO" with 1 <= FROM <= TO, or "CHR" alone for the whole
// chromosome; empty with `problem` set otherwise.
std::optional<Region> parseRegion(std::string_view text, std::string* problem = nullptr);

// A marker name of a --markers file, with its line there.
struct ListedMarker {
    std::string name;
    std::int64_t line = 0;
};

// Which markers the import takes: those in the region (when given) and on
// the list (when given).
struct MarkerSelection {
    std::optional<Region> region;
    std::optional<std::vector<ListedMarker>> list;
    std::string listPath;
    std::unordered_map<std::string, std::int64_t> listedNames;  // name -> line of the list

    bool includes(const std::string& chromosome, std::int64_t position, const std::string& name) const {
        return (!region || region->contains(chromosome, position)) && (!list || listedNames.contains(name));
    }
};

// The selection of a region (optional) and a marker list file (none when
// `listPath` is empty): one marker name per line, blank lines skipped. Throws
// ImportError for a line with more than one name or a name listed twice.
MarkerSelection selectMarkers(std::optional<Region> region, const std::string& listPath);

// Puts the loci in chromosome and position order, whatever the order of the
// file or of the list; loci at one position by the name the file gives their
// chromosome ("1" before "chr1"), then in file order. Throws ImportError for
// a listed name that is not among the loci read, or that more than one locus
// carries.
void arrangeLoci(GenotypeTable& table, const MarkerSelection& selection);

// Throws ImportError, naming the chromosomes of the genotype file, when a
// region was given and no marker of the file lies in it.
void checkRegionMatched(const MarkerSelection& selection, const GenotypeData& data);

}  // namespace triotdt::import
