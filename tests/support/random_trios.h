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

// The counts of `families` families at loci of `alleleCount`, 10 replicates, no records yet.
inline haplotype::FamilyData familyHead(std::int32_t families, const std::vector<std::int32_t>& alleleCount) {
    haplotype::FamilyData data;
    data.familyCount = families;
    data.replicateCount = 10;
    data.lociCount = static_cast<std::int32_t>(alleleCount.size());
    data.alleleCount = alleleCount;
    return data;
}

inline haplotype::FamilyData randomTrios(std::uint64_t seed, std::int32_t families,
                                         std::vector<std::int32_t> alleleCount) {
    SmallRandom random{seed};
    haplotype::FamilyData data = familyHead(families, alleleCount);
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

// Random trios on X: each child a son or a daughter; a father's one X goes
// to a daughter, a mother's X of her two to any child. A mother often
// carries her husband's X, and a father is sometimes not genotyped, so that
// daughters leave their mothers open at some loci.
inline haplotype::FamilyData randomXTrios(std::uint64_t seed, std::int32_t families,
                                          std::vector<std::int32_t> alleleCount) {
    SmallRandom random{seed};
    haplotype::FamilyData data = familyHead(families, alleleCount);
    data.inheritance = haplotype::Inheritance::xLinked;
    const auto x = [&] {
        std::vector<std::int32_t> h;
        for (const std::int32_t count : alleleCount) h.push_back(1 + random.below(count));
        return h;
    };
    for (std::int32_t f = 0; f < families; ++f) {
        const std::vector<std::int32_t> father = x();
        std::vector<std::int32_t> mother[2] = {x(), random.below(3) == 0 ? father : x()};
        const bool son = random.below(2) == 0, fatherMissing = random.below(3) == 0;
        const std::vector<std::int32_t>& transmitted = mother[random.below(2)];
        data.childSex.push_back(son ? haplotype::ChildSex::son : haplotype::ChildSex::daughter);
        for (std::size_t l = 0; l < alleleCount.size(); ++l) {
            data.fatherAlleles.push_back(fatherMissing ? 0 : father[l]);
            data.fatherAlleles.push_back(fatherMissing ? 0 : father[l]);
            const bool swap = random.below(2) == 1;
            data.motherAlleles.push_back(mother[swap ? 1 : 0][l]);
            data.motherAlleles.push_back(mother[swap ? 0 : 1][l]);
            data.childAlleles.push_back(son || swap ? transmitted[l] : father[l]);
            data.childAlleles.push_back(son || !swap ? transmitted[l] : father[l]);
        }
    }
    return data;
}

}  // namespace triotdt::test
