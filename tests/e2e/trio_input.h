#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace triotdt::test {

// A valid tdtinput.dat of `families` made-up trios at loci with the given
// allele counts: every child takes its father's first and its mother's second
// allele, so each trio is consistent, and the alleles vary from family to
// family so that some windows hold families of ambiguous phase.
inline std::string trioInput(std::int32_t families, std::int32_t replicates, const std::vector<std::int32_t>& alleles) {
    std::string text =
        std::to_string(families) + "\n" + std::to_string(replicates) + "\n" + std::to_string(alleles.size()) + "\n";
    for (const std::int32_t count : alleles) text += std::to_string(count) + " ";
    text += "\n";
    for (std::int32_t f = 0; f < families; ++f) {
        std::string father, mother, child;
        for (std::size_t l = 0; l < alleles.size(); ++l) {
            const std::int32_t n = alleles[l];
            const auto allele = [&](std::int64_t k) { return std::to_string(k % n + 1) + " "; };
            const std::int64_t i = static_cast<std::int64_t>(l);
            const std::string f1 = allele(f + i), f2 = allele(3 * f + 2 * i + 1);
            const std::string m1 = allele(5 * f + i + 1), m2 = allele(f * f + i);
            father += f1 + f2;
            mother += m1 + m2;
            child += f1 + m2;
        }
        text += father + "\n" + mother + "\n" + child + "\n";
    }
    return text;
}

}  // namespace triotdt::test
