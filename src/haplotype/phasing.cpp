#include "haplotype/phasing.h"

#include <array>

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

std::optional<LocusPhase> phaseMaternalLocus(ChildSex sex, std::int32_t f1, std::int32_t f2, std::int32_t m1,
                                             std::int32_t m2, std::int32_t c1, std::int32_t c2) {
    const auto fromMother = [&](std::int32_t transmitted, bool ambiguous) -> std::optional<LocusPhase> {
        if (transmitted == m1) return LocusPhase{m1, m2, m1, m2, ambiguous};
        if (transmitted == m2) return LocusPhase{m2, m1, m2, m1, ambiguous};
        return std::nullopt;
    };
    if (sex == ChildSex::son) return c1 == c2 ? fromMother(c1, false) : std::nullopt;
    if (f1 != 0 && f2 != 0) {
        if (f1 != f2) return std::nullopt;
        if (c1 == f1) {
            if (auto phase = fromMother(c2, false)) return phase;
        }
        return c2 == f1 ? fromMother(c1, false) : std::nullopt;
    }
    const bool c1FromMother = c1 == m1 || c1 == m2, c2FromMother = c2 == m1 || c2 == m2;
    if (!c1FromMother) return fromMother(c2, false);
    if (!c2FromMother) return fromMother(c1, false);
    return fromMother(m1, m1 != m2);
}

namespace {

// One family's four haplotypes as sums of per-locus digits (allele − 1 times
// the locus's place value): the digits of the resolved and of the ambiguous
// loci apart, and at each ambiguous locus what choice 2 adds to the father's
// and the mother's transmitted haplotype (their untransmitted ones lose as
// much). Codes are then sums of these, with no allele vectors.
struct FamilyDigits {
    Combination resolved;   // digits of the resolved loci
    Combination ambiguous;  // digits of the ambiguous loci, choice 1
    std::array<std::int32_t, 32> fatherShift{};
    std::array<std::int32_t, 32> motherShift{};
    std::int32_t ambiguousCount = 0;
};

void addDigits(Combination& sum, const LocusPhase& phase, std::int32_t placeValue) {
    sum.fatherTransmit += (phase.fatherTransmit - 1) * placeValue;
    sum.fatherUntransmit += (phase.fatherUntransmit - 1) * placeValue;
    sum.motherTransmit += (phase.motherTransmit - 1) * placeValue;
    sum.motherUntransmit += (phase.motherUntransmit - 1) * placeValue;
}

Combination plusOne(const Combination& c) {
    return {c.fatherTransmit + 1, c.fatherUntransmit + 1, c.motherTransmit + 1, c.motherUntransmit + 1};
}

// Combination p (bit a of p, counting from the last ambiguous locus, picks
// choice 2 there) and its exchanged version, which trades the transmitted and
// untransmitted alleles at the resolved loci only.
void appendCombinations(const FamilyDigits& digits, std::int32_t phaseCount, PhaseTable& table) {
    for (std::int32_t p = 0; p < phaseCount; ++p) {
        std::int32_t father = 0;
        std::int32_t mother = 0;
        for (std::int32_t a = 0; a < digits.ambiguousCount; ++a) {
            if (((p >> (digits.ambiguousCount - 1 - a)) & 1) == 0) continue;
            father += digits.fatherShift[static_cast<std::size_t>(a)];
            mother += digits.motherShift[static_cast<std::size_t>(a)];
        }
        const Combination ambiguous{
            digits.ambiguous.fatherTransmit + father, digits.ambiguous.fatherUntransmit - father,
            digits.ambiguous.motherTransmit + mother, digits.ambiguous.motherUntransmit - mother};
        const Combination& r = digits.resolved;
        table.combinations.push_back(
            plusOne({r.fatherTransmit + ambiguous.fatherTransmit, r.fatherUntransmit + ambiguous.fatherUntransmit,
                     r.motherTransmit + ambiguous.motherTransmit, r.motherUntransmit + ambiguous.motherUntransmit}));
        table.exchanged.push_back(
            plusOne({r.fatherUntransmit + ambiguous.fatherTransmit, r.fatherTransmit + ambiguous.fatherUntransmit,
                     r.motherUntransmit + ambiguous.motherTransmit, r.motherTransmit + ambiguous.motherUntransmit}));
    }
}

std::optional<LocusPhase> phaseTrioLocus(const FamilyData& families, std::int32_t f, std::int32_t l) {
    const std::int32_t f1 = families.allele(Person::father, f, l, 0), f2 = families.allele(Person::father, f, l, 1);
    const std::int32_t m1 = families.allele(Person::mother, f, l, 0), m2 = families.allele(Person::mother, f, l, 1);
    const std::int32_t c1 = families.allele(Person::child, f, l, 0), c2 = families.allele(Person::child, f, l, 1);
    if (families.inheritance == Inheritance::xLinked) {
        return phaseMaternalLocus(families.childSex[static_cast<std::size_t>(f)], f1, f2, m1, m2, c1, c2);
    }
    return phaseLocus(f1, f2, m1, m2, c1, c2);
}

}  // namespace

std::vector<std::int32_t> familiesTakingPart(const FamilyData& families, std::int32_t start, std::int32_t size) {
    std::vector<std::int32_t> taking;
    if (families.familyCount <= 0) return taking;
    taking.reserve(static_cast<std::size_t>(families.familyCount));
    const auto columns = 2 * static_cast<std::size_t>(families.lociCount);
    const auto width = 2 * static_cast<std::size_t>(size);
    // On X the mother's table stands in for the father's, who need not be genotyped.
    const AlleleTable& fatherAlleles =
        families.inheritance == Inheritance::xLinked ? families.motherAlleles : families.fatherAlleles;
    // The trio's alleles at the window's loci lie side by side in each person's table.
    std::size_t first = 2 * static_cast<std::size_t>(start - 1);
    for (std::int32_t f = 0; f < families.familyCount; ++f, first += columns) {
        // Without a branch per allele: any 0 among them leaves the family out.
        int genotyped = 1;
        for (std::size_t j = first; j < first + width; ++j) {
            genotyped &= static_cast<int>(fatherAlleles[j] != 0) & static_cast<int>(families.motherAlleles[j] != 0) &
                         static_cast<int>(families.childAlleles[j] != 0);
        }
        if (genotyped != 0) taking.push_back(f);
    }
    return taking;
}

PhaseTable phaseFamilies(const FamilyData& families, const Window& window) {
    const std::size_t size = static_cast<std::size_t>(window.size);
    PhaseTable table;
    table.inheritance = families.inheritance;
    table.inputFamilyCount = families.familyCount;
    table.inputFamily = window.families;
    const std::size_t familyCount = table.inputFamily.size();
    table.phaseCount.resize(familyCount);
    table.firstCombination.resize(familyCount + 1);
    table.combinations.reserve(familyCount * 2);
    table.exchanged.reserve(familyCount * 2);

    // The place value of each locus of the window: the last locus varies fastest.
    std::vector<std::int32_t> placeValue(size, 1);
    for (std::size_t k = size - 1; k-- > 0;) placeValue[k] = placeValue[k + 1] * window.alleleCount[k + 1];

    for (std::size_t i = 0; i < familyCount; ++i) {
        const std::int32_t f = table.inputFamily[i];
        FamilyDigits digits;
        for (std::size_t k = 0; k < size; ++k) {
            const std::int32_t l = window.start - 1 + static_cast<std::int32_t>(k);
            const LocusPhase locus = phaseTrioLocus(families, f, l).value_or(LocusPhase{});
            if (!locus.ambiguous) {
                addDigits(digits.resolved, locus, placeValue[k]);
                continue;
            }
            addDigits(digits.ambiguous, locus, placeValue[k]);
            const auto a = static_cast<std::size_t>(digits.ambiguousCount++);
            digits.fatherShift[a] = (locus.fatherUntransmit - locus.fatherTransmit) * placeValue[k];
            digits.motherShift[a] = (locus.motherUntransmit - locus.motherTransmit) * placeValue[k];
        }
        const std::int32_t phaseCount = std::int32_t{1} << digits.ambiguousCount;
        table.phaseCount[i] = phaseCount;
        table.firstCombination[i] = table.combinations.size();
        appendCombinations(digits, phaseCount, table);
    }
    table.firstCombination[familyCount] = table.combinations.size();
    return table;
}

}  // namespace triotdt::haplotype
