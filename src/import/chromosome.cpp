#include "import/chromosome.h"

#include <algorithm>
#include <cctype>

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

// 0 for an autosome or an unknown name; 1 X, 2 Y, 3 XY, 4 MT.
int sexOrMitochondrialKind(std::string_view chromosome) {
    const std::string name = upper(withoutPrefix(chromosome));
    if (name == "X" || name == "23") return 1;
    if (name == "Y" || name == "24") return 2;
    if (name == "XY" || name == "25") return 3;
    if (name == "MT" || name == "M" || name == "26") return 4;
    return 0;
}

}  // namespace

ChromosomeRank chromosomeRank(std::string_view chromosome) {
    if (const int kind = sexOrMitochondrialKind(chromosome); kind != 0) return {1, kind, std::string(chromosome)};
    const std::string_view name = withoutPrefix(chromosome);
    if (allDigits(name)) return {0, std::stoll(std::string(name)), std::string(chromosome)};
    return {2, 0, std::string(chromosome)};
}

bool isSexOrMitochondrial(std::string_view chromosome) { return sexOrMitochondrialKind(chromosome) != 0; }

bool sameChromosome(std::string_view a, std::string_view b) {
    return a == b || upper(withoutPrefix(a)) == upper(withoutPrefix(b));
}

std::string chromosomeFolder(std::string_view chromosome) {
    std::string folder = "chr";
    for (const char c : withoutPrefix(chromosome)) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_';
        folder += plain ? c : '_';
    }
    return folder;
}

}  // namespace triotdt::import
