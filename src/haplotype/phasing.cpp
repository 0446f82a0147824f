#include "haplotype/phasing.h"

#include <array>
#include <utility>

#include "haplotype/haplotype_code.h"

namespace triotdt::haplotype {

std::optional<LocusPhase> phaseLocus(std::int32_t f1, std::int32_t f2, std::int32_t m1, std::int32_t m2,
                                     std::int32_t c1, std::int32_t c2) {
    std::optional<LocusPhase> phase;
    const auto tryPairing = [&](std::int32_t ft, std::int32_t fu, std::int32_t mt, std::int32_t mu) {
        if ((c1 == ft && c2 == mt) || (c2 == ft && c1 == mt)) phase = LocusPhase{ft, fu, mt, mu, false};
    };
    tryPairing(f1, f2, m1, m2);
    tryPairing(f2, f1, m1, m2);
    tryPairing(f1, f2, m2, m1);
    tryPairing(f2, f1, m2, m1);
    if (phase) {
        phase->ambiguous = phase->fatherTransmit != phase->fatherUntransmit &&
                           phase->motherUntransmit == phase->fatherTransmit &&
                           phase->motherTransmit == phase->fatherUntransmit;
    }
    return phase;
}

namespace {

Combination encodeCombination(const Window& window, const std::array<std::vector<std::int32_t>, 4>& haplotypes) {
    return {encodeHaplotype(window, haplotypes[0]), encodeHaplotype(window, haplotypes[1]),
            encodeHaplotype(window, haplotypes[2]), encodeHaplotype(window, haplotypes[3])};
}

}  // namespace

std::vector<std::int32_t> familiesTakingPart(const FamilyData& families, std::int32_t start, std::int32_t size) {
    std::vector<std::int32_t> taking;
    if (families.familyCount <= 0) return taking;
    taking.reserve(static_cast<std::size_t>(families.familyCount));
    const auto columns = 2 * static_cast<std::size_t>(families.lociCount);
    const auto width = 2 * static_cast<std::size_t>(size);
    // The trio's alleles at the window's loci lie side by side in each person's table.
    std::size_t first = 2 * static_cast<std::size_t>(start - 1);
    for (std::int32_t f = 0; f < families.familyCount; ++f, first += columns) {
        bool genotyped = true;
        for (std::size_t j = first; j < first + width; ++j) {
            genotyped &= (families.fatherAlleles[j] != 0) & (families.motherAlleles[j] != 0) &
                         (families.childAlleles[j] != 0);
        }
        if (genotyped) taking.push_back(f);
    }
    return taking;
}

PhaseTable phaseFamilies(const FamilyData& families, const Window& window) {
    const std::size_t size = static_cast<std::size_t>(window.size);
    PhaseTable table;
    table.windowSize = window.size;
    table.inputFamilyCount = families.familyCount;
    table.inputFamily = window.families;
    const std::size_t familyCount = table.inputFamily.size();
    table.phaseCount.resize(familyCount);
    table.firstCombination.resize(familyCount + 1);
    table.phaseChoices.resize(familyCount * size);

    std::vector<LocusPhase> loci(size);
    std::array<std::vector<std::int32_t>, 4> haplotypes;
    for (auto& h : haplotypes) h.resize(size);

    for (std::size_t i = 0; i < familyCount; ++i) {
        const std::int32_t f = table.inputFamily[i];
        std::int32_t phaseCount = 1;
        for (std::size_t k = 0; k < size; ++k) {
            const std::int32_t l = window.start - 1 + static_cast<std::int32_t>(k);
            const auto phase = phaseLocus(families.allele(Person::father, f, l, 0), families.allele(Person::father, f, l, 1),
                                          families.allele(Person::mother, f, l, 0), families.allele(Person::mother, f, l, 1),
                                          families.allele(Person::child, f, l, 0), families.allele(Person::child, f, l, 1));
            loci[k] = phase.value_or(LocusPhase{});
            table.phaseChoices[i * size + k] = loci[k].ambiguous ? 2 : 1;
            if (loci[k].ambiguous) phaseCount *= 2;
        }
        table.phaseCount[i] = phaseCount;
        table.firstCombination[i] = table.combinations.size();

        // Combination p: bit j of p (counting from the last ambiguous locus)
        // picks choice 2 at that locus, so the first ambiguous locus changes slowest.
        for (std::int32_t p = 0; p < phaseCount; ++p) {
            std::int32_t bit = phaseCount;
            for (std::size_t k = 0; k < size; ++k) {
                const LocusPhase& locus = loci[k];
                bool secondChoice = false;
                if (locus.ambiguous) {
                    bit /= 2;
                    secondChoice = (p & bit) != 0;
                }
                haplotypes[0][k] = secondChoice ? locus.fatherUntransmit : locus.fatherTransmit;
                haplotypes[1][k] = secondChoice ? locus.fatherTransmit : locus.fatherUntransmit;
                haplotypes[2][k] = secondChoice ? locus.motherUntransmit : locus.motherTransmit;
                haplotypes[3][k] = secondChoice ? locus.motherTransmit : locus.motherUntransmit;
            }
            table.combinations.push_back(encodeCombination(window, haplotypes));
            // The resampling exchange trades the alleles at the resolved loci only.
            for (std::size_t k = 0; k < size; ++k) {
                if (loci[k].ambiguous) continue;
                std::swap(haplotypes[0][k], haplotypes[1][k]);
                std::swap(haplotypes[2][k], haplotypes[3][k]);
            }
            table.exchanged.push_back(encodeCombination(window, haplotypes));
        }
    }
    table.firstCombination[familyCount] = table.combinations.size();
    return table;
}

}  // namespace triotdt::haplotype
