#include "import/chromosome.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "import/import_error.h"
#include "import/import_report.h"
#include "output/loci_table.h"

namespace triotdt::import {
namespace {

std::string_view withoutPrefix(std::string_view chromosome) {
    if (chromosome.size() > 3 && std::tolower(static_cast<unsigned char>(chromosome[0])) == 'c' &&
        std::tolower(static_cast<unsigned char>(chromosome[1])) == 'h' &&
        std::tolower(static_cast<unsigned char>(chromosome[2])) == 'r') {
        chromosome.remove_prefix(3);
    }
    return chromosome;
}

std::string upper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return result;
}

bool allDigits(std::string_view text) {
    return !text.empty() && text.size() <= 18 &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// What names of one chromosome have in common.
std::string chromosomeKey(std::string_view chromosome) { return upper(withoutPrefix(chromosome)); }

// 0 for an autosome or an unknown name; 1 X, 2 Y, 3 XY, 4 MT.
int sexOrMitochondrialKind(std::string_view chromosome) {
    const std::string name = upper(withoutPrefix(chromosome));
    if (output::namesChromosomeX(chromosome)) return 1;
    if (name == "Y" || name == "24") return 2;
    if (name == "XY" || name == "25") return 3;
    if (name == "MT" || name == "M" || name == "26") return 4;
    return 0;
}

}  // namespace

ChromosomeRank chromosomeRank(std::string_view chromosome) {
    std::string key = chromosomeKey(chromosome);
    if (const int kind = sexOrMitochondrialKind(chromosome); kind != 0) return {1, kind, std::move(key)};
    if (allDigits(key)) return {0, std::stoll(key), std::move(key)};
    return {2, 0, std::move(key)};
}

bool isLeftOut(std::string_view chromosome) {
    const int kind = sexOrMitochondrialKind(chromosome);
    return kind == 2 || kind == 4;
}

bool sameChromosome(std::string_view a, std::string_view b) { return a == b || chromosomeKey(a) == chromosomeKey(b); }

std::vector<std::vector<std::string>> unifyChromosomeNames(std::vector<Locus>& loci) {
    std::unordered_map<std::string, std::size_t> chromosomeOf;  // by key
    std::vector<std::vector<std::string>> names;                // per chromosome, its names in byte order
    std::vector<std::size_t> ofLocus;
    ofLocus.reserve(loci.size());
    for (const Locus& locus : loci) {
        // Loci come in runs of one name: the key is looked up once a run.
        if (ofLocus.empty() || locus.chromosome != loci[ofLocus.size() - 1].chromosome) {
            const auto [at, added] = chromosomeOf.emplace(chromosomeKey(locus.chromosome), names.size());
            if (added) names.emplace_back();
            std::vector<std::string>& known = names[at->second];
            const auto place = std::lower_bound(known.begin(), known.end(), locus.chromosome);
            if (place == known.end() || *place != locus.chromosome) known.insert(place, locus.chromosome);
            ofLocus.push_back(at->second);
        } else {
            ofLocus.push_back(ofLocus.back());
        }
    }
    for (std::size_t l = 0; l < loci.size(); ++l) {
        const std::string& kept = names[ofLocus[l]].front();
        if (loci[l].chromosome != kept) loci[l].chromosome = kept;
    }
    std::erase_if(names, [](const std::vector<std::string>& some) { return some.size() < 2; });
    return names;
}

std::string chromosomeFolder(std::string_view chromosome) {
    if (const int kind = sexOrMitochondrialKind(chromosome); kind == 1 || kind == 3)
        return kind == 1 ? "chrX" : "chrXY";
    std::string folder = "chr";
    for (const char c : withoutPrefix(chromosome)) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
        folder += plain ? c : '_';
    }
    return folder;
}

namespace {

// The chromosome names of the loci, in order, each once.
std::string chromosomeList(const std::vector<Locus>& loci) {
    std::string list;
    for (std::size_t l = 0; l < loci.size(); ++l) {
        if (l == 0 || loci[l].chromosome != loci[l - 1].chromosome)
            list += (list.empty() ? "" : ", ") + loci[l].chromosome;
    }
    return list.empty() ? "none" : list;
}

}  // namespace

void splitChromosomes(ImportRun& run) {
    GenotypeTable& table = run.data.table;
    std::vector<ChromosomeImport>& parts = run.parts;
    const auto keptAlone = [&](const Locus& locus) {
        return locus.chromosome == table.loci.front().chromosome && !isLeftOut(locus.chromosome) &&
               (run.chromosome.empty() || sameChromosome(locus.chromosome, run.chromosome));
    };
    const auto inheritanceOf = [](const std::string& chromosome) {
        return output::namesChromosomeX(chromosome) ? haplotype::Inheritance::xLinked
                                                    : haplotype::Inheritance::autosomal;
    };
    if (!table.loci.empty() && std::all_of(table.loci.begin(), table.loci.end(), keptAlone)) {
        // The common case, one chromosome: no copy of the genotypes.
        const std::string chromosome = table.loci.front().chromosome;
        parts.push_back({chromosome, "", inheritanceOf(chromosome), std::move(table), {}, {}});
        table = GenotypeTable{};
        return;
    }
    for (std::size_t l = 0; l < table.loci.size(); ++l) {
        Locus& locus = table.loci[l];
        if (isLeftOut(locus.chromosome)) {
            run.leftOutLoci.push_back(std::move(locus));
            continue;
        }
        if (!run.chromosome.empty() && !sameChromosome(locus.chromosome, run.chromosome)) {
            ++run.otherChromosomeLoci;
            continue;
        }
        const bool sameAsLast =
            !parts.empty() && (!run.chromosome.empty() || parts.back().chromosome == locus.chromosome);
        if (!sameAsLast) {
            parts.push_back(
                {locus.chromosome, chromosomeFolder(locus.chromosome), inheritanceOf(locus.chromosome), {}, {}, {}});
            parts.back().table.holdPeopleOf(table);
        }
        parts.back().table.addLocusOf(table, l, std::move(locus));
    }
    if (!run.chromosome.empty() && parts.empty() && !table.loci.empty()) {
        throw ImportError("--chromosome " + run.chromosome +
                          (isLeftOut(run.chromosome)
                               ? ": markers of Y and MT are not imported (their inheritance is not modelled)"
                               : ": no selected marker is on it; the selected markers are on chromosomes " +
                                     chromosomeList(table.loci)));
    }
    table = GenotypeTable{};
    if (parts.empty()) parts.push_back({"", "", haplotype::Inheritance::autosomal, {}, {}, {}});
    if (parts.size() == 1) {
        parts.front().folder.clear();
        return;
    }
    for (std::size_t i = 1; i < parts.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (parts[i].folder != parts[j].folder) continue;
            throw ImportError("chromosomes " + parts[j].chromosome + " and " + parts[i].chromosome +
                              " would share the run folder " + parts[i].folder + "; import one with --chromosome");
        }
    }
}

}  // namespace triotdt::import
