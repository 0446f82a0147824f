#include "import/marker_selection.h"

#include <algorithm>
#include <numeric>
#include <tuple>
#include <unordered_map>

#include "import/chromosome.h"
#include "import/import_error.h"
#include "import/line_reader.h"

namespace triotdt::import {

namespace {

// Chromosome names listed in a message before "and N more".
constexpr std::size_t chromosomesShown = 20;

std::string chromosomeList(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < chromosomesShown; ++i) text += (i == 0 ? "" : ", ") + names[i];
    if (names.size() > chromosomesShown) text += " and " + std::to_string(names.size() - chromosomesShown) + " more";
    return text;
}

}  // namespace

std::string Region::text() const {
    return whole ? chromosome : chromosome + ":" + std::to_string(from) + "-" + std::to_string(to);
}

std::optional<Region> parseRegion(std::string_view text, std::string* problem) {
    const auto fail = [&](const char* why) -> std::optional<Region> {
        if (problem != nullptr) *problem = why;
        return std::nullopt;
    };
    if (text.empty() || text.find_first_of(" \t") != std::string_view::npos) {
        return fail("a region is CHR:FROM-TO, e.g. 7:117500000-117700000, or CHR alone");
    }
    // The last colon: chromosome names may hold colons themselves.
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return Region{std::string(text)};
    if (colon == 0) return fail("a region is CHR:FROM-TO, e.g. 7:117500000-117700000, or CHR alone");
    const std::string_view range = text.substr(colon + 1);
    const std::size_t dash = range.find('-');
    Region region{std::string(text.substr(0, colon)), 0, 0, false};
    if (dash == std::string_view::npos || !parseWholeNumber(range.substr(0, dash), region.from) ||
        !parseWholeNumber(range.substr(dash + 1), region.to)) {
        return fail("FROM and TO of CHR:FROM-TO must be whole numbers");
    }
    if (region.from < 1 || region.to < region.from) return fail("a region needs 1 <= FROM <= TO");
    return region;
}

MarkerSelection selectMarkers(std::optional<Region> region, const std::string& listPath) {
    MarkerSelection selection{std::move(region), std::nullopt, listPath, {}};
    if (listPath.empty()) return selection;
    LineReader reader(listPath);
    std::vector<ListedMarker> list;
    while (reader.next()) {
        if (reader.fields().size() != 1) {
            reader.fail("one marker name per line, found " + std::to_string(reader.fields().size()) + " fields");
        }
        std::string name(reader.fields().front());
        const auto [at, added] = selection.listedNames.emplace(name, reader.lineNumber());
        if (!added) reader.fail("marker " + name + " is already listed on line " + std::to_string(at->second));
        list.push_back({std::move(name), reader.lineNumber()});
    }
    if (list.empty()) throw ImportError(listPath + ": lists no marker");
    selection.list = std::move(list);
    return selection;
}

namespace {

// The loci of `order`, in that order, with their genotypes.
GenotypeTable reorder(GenotypeTable& table, const std::vector<std::size_t>& order) {
    GenotypeTable arranged;
    arranged.holdPeopleOf(table);
    for (const std::size_t l : order) arranged.addLocusOf(table, l, std::move(table.loci[l]));
    return arranged;
}

// Throws ImportError for a listed name that no locus carries, or that more
// than one carries.
void checkListedNames(const GenotypeTable& table, const MarkerSelection& selection) {
    std::unordered_map<std::string, std::size_t> found;
    for (std::size_t l = 0; l < table.loci.size(); ++l) {
        const auto [at, added] = found.emplace(table.loci[l].name, l);
        if (!added) {
            throw ImportError(selection.listPath + ": marker " + table.loci[l].name +
                              " is not one marker but several (" + table.loci[at->second].origin + ", and " +
                              table.loci[l].origin + ")");
        }
    }
    for (const ListedMarker& listed : *selection.list) {
        if (found.contains(listed.name)) continue;
        throw ImportError(selection.listPath + ", line " + std::to_string(listed.line) + ": marker " + listed.name +
                          " is not in the genotype file" +
                          (selection.region ? " within the region " + selection.region->text() : std::string()));
    }
}

}  // namespace

void arrangeLoci(GenotypeTable& table, const MarkerSelection& selection) {
    if (selection.list) checkListedNames(table, selection);
    std::vector<std::size_t> order(table.loci.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::vector<ChromosomeRank> ranks;
    ranks.reserve(table.loci.size());
    for (const Locus& locus : table.loci) ranks.push_back(chromosomeRank(locus.chromosome));
    // Stable: markers at one position under one name stay in file order,
    // whichever way the file is read.
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Locus& x = table.loci[a];
        const Locus& y = table.loci[b];
        return std::tie(ranks[a], x.position, x.chromosome) < std::tie(ranks[b], y.position, y.chromosome);
    });
    if (std::is_sorted(order.begin(), order.end())) return;
    table = reorder(table, order);
}

void checkRegionMatched(const MarkerSelection& selection, const GenotypeData& data) {
    if (!selection.region || data.markersInRegion > 0) return;
    const Region& region = *selection.region;
    const bool known = std::any_of(data.chromosomes.begin(), data.chromosomes.end(),
                                   [&](const std::string& name) { return sameChromosome(name, region.chromosome); });
    std::string text = "--region " + region.text() + " selects no marker of " + data.genotypeFile + ": ";
    text += known ? "chromosome " + region.chromosome + " has none there" : "it has no chromosome " + region.chromosome;
    text += data.chromosomes.empty() ? "; it has no markers at all"
                                     : "; its chromosomes are " + chromosomeList(data.chromosomes);
    throw ImportError(text);
}

}  // namespace triotdt::import
