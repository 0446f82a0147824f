#pragma once

// Random trios for tests: Mendelian-consistent families over a few loci with
// few alleles, many parents sharing a heterozygous genotype, so that windows
// hold families of known and of ambiguous phase, homozygous parents and
// repeated haplotypes.

#include <cstdint>
#include <vector>

#include "haplotype/family_data.h"

namespace triotdt::test {

struct SmallRandom {
    std::uint64_t state;
    std::uint64_t next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    }
    std::int32_t below(std::int32_t n) { return static_cast<std::int32_t>(next() % static_cast<std::uint64_t>(n)); }
};

inline haplotype::FamilyData randomTrios(std::uint64_t seed, std::int32_t families,
                                         std::vector<std::int32_t> alleleCount) {
    SmallRandom random{seed};
    haplotype::FamilyData data;
    data.familyCount = families;
    data.replicateCount = 10;
    data.lociCount = static_cast<std::int32_t>(alleleCount.size());
    data.alleleCount = alleleCount;
    for (std::int32_t f = 0; f < families; ++f) {
        std::vector<std::int32_t> parent[2][2];  // parent, haplotype
        for (auto& p : parent) {
            for (auto& h : p) {
                for (const std::int32_t count : alleleCount) h.push_back(1 + random.below(count));
            }
        }
        // Often give the mother the father's genotype, which makes loci ambiguous.
        if (random.below(3) == 0) {
            parent[1][0] = parent[0][1];
            parent[1][1] = parent[0][0];
        }
        const int fromFather = random.below(2), fromMother = random.below(2);
        for (std::size_t l = 0; l < alleleCount.size(); ++l) {
            for (int p = 0; p < 2; ++p) {
                auto& table = p == 0 ? data.fatherAlleles : data.motherAlleles;
                const bool swap = random.below(2) == 1;
                table.push_back(parent[p][swap ? 1 : 0][l]);
                table.push_back(parent[p][swap ? 0 : 1][l]);
            }
            const std::int32_t a = parent[0][fromFather][l], b = parent[1][fromMother][l];
            const bool swap = random.below(2) == 1;
            data.childAlleles.push_back(swap ? b : a);
            data.childAlleles.push_back(swap ? a : b);
        }
    }
    return data;
}

}  // namespace triotdt::test
