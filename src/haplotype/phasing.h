#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "haplotype/family_data.h"
#include "haplotype/window.h"

namespace triotdt::haplotype {

// Which of each parent's two alleles went to the child at one locus.
struct LocusPhase {
    std::int32_t fatherTransmit = 0;
    std::int32_t fatherUntransmit = 0;
    std::int32_t motherTransmit = 0;
    std::int32_t motherUntransmit = 0;
    // Both parents and the child carry the same two different alleles, so
    // either parent may have given either allele.
    bool ambiguous = false;
};

// Of the four pairings of a father allele with a mother allele, taken in the
// order (f1, m1), (f2, m1), (f1, m2), (f2, m2), the last one that matches the
// child's two alleles (in either order) names the transmitted alleles; each
// parent's other allele is its untransmitted one. Empty when no pairing
// matches (a Mendelian inconsistency).
std::optional<LocusPhase> phaseLocus(std::int32_t f1, std::int32_t f2, std::int32_t m1, std::int32_t m2,
                                     std::int32_t c1, std::int32_t c2);

// The same on X, for the mother alone: which of her alleles went to the
// child, in the father's fields too, so that anything that only gathers the
// haplotypes of a combination finds hers and no others. A son has one X, his
// mother's: his genotype is written as two equal alleles. A daughter has her
// father's one allele and one of her mother's. Without the father's allele
// (0), a daughter who carries an allele her mother lacks has the other from
// her mother; one who carries only her heterozygous mother's alleles leaves
// the mother's transmission open (ambiguous), even when homozygous: she is
// homozygous only when her father has the allele too, which happens more
// often for the commoner allele, so counting her as known would favour it
// without any association. Empty for a male with two different alleles or a
// child who cannot have an allele from the mother as said.
std::optional<LocusPhase> phaseMaternalLocus(ChildSex sex, std::int32_t f1, std::int32_t f2, std::int32_t m1,
                                             std::int32_t m2, std::int32_t c1, std::int32_t c2);

// One phase combination of a family: the codes of the father's transmitted
// and untransmitted and the mother's transmitted and untransmitted haplotype.
struct Combination {
    std::int32_t fatherTransmit = 0;
    std::int32_t fatherUntransmit = 0;
    std::int32_t motherTransmit = 0;
    std::int32_t motherUntransmit = 0;

    friend bool operator==(const Combination&, const Combination&) = default;
};

// A parent's part of a combination: the haplotype transmitted and the one not.
struct ParentPart {
    std::int32_t transmitted = 0;
    std::int32_t untransmitted = 0;

    friend bool operator==(const ParentPart&, const ParentPart&) = default;
};

// The parts whose transmissions a window counts, the father's before the
// mother's; on X the mother's alone (the father's fields repeat hers).
struct TransmittingParts {
    std::array<ParentPart, 2> parts;
    std::size_t count = 2;

    const ParentPart* begin() const { return parts.data(); }
    const ParentPart* end() const { return parts.data() + count; }
};

inline TransmittingParts transmittingParts(const Combination& c, Inheritance inheritance) {
    if (inheritance == Inheritance::xLinked) return {{{{c.motherTransmit, c.motherUntransmit}, {}}}, 1};
    return {{{{c.fatherTransmit, c.fatherUntransmit}, {c.motherTransmit, c.motherUntransmit}}}, 2};
}

// The parental haplotypes a family has in each combination: 4, or on X the mother's 2.
inline double haplotypesPerFamily(Inheritance inheritance) { return inheritance == Inheritance::xLinked ? 2.0 : 4.0; }
// Every family's phase combinations in one window. A family ambiguous at a
// locus has 2^a combinations, numbered as in counting with the choice at its
// first ambiguous locus changing slowest; combination 0 takes the phase the
// rules give at every locus.
//
// `exchanged` holds, combination by combination, the same haplotypes with both
// parents' transmitted and untransmitted alleles traded at every locus where
// the family's phase is resolved: what a resampling replicate puts in place of
// the observed combination when it exchanges the family.
//
// Only the families whose father, mother and child are genotyped at every
// locus of the window take part; `inputFamily` gives each one's place in the
// input (0-based), which is where its resampling draws are.
struct PhaseTable {
    Inheritance inheritance = Inheritance::autosomal;
    std::int32_t inputFamilyCount = 0;          // families in the input
    std::vector<std::int32_t> inputFamily;      // per family taking part
    std::vector<std::int32_t> phaseCount;       // per family
    std::vector<std::size_t> firstCombination;  // per family, and one past the last family
    std::vector<Combination> combinations;
    std::vector<Combination> exchanged;

    std::int32_t familyCount() const { return static_cast<std::int32_t>(phaseCount.size()); }
};

// The families (0-based, in input order) whose father, mother and child are
// genotyped at every locus of the `size` loci from locus `start` (1-based);
// on X, whose mother and child are (a daughter's father may be missing).
std::vector<std::int32_t> familiesTakingPart(const FamilyData& families, std::int32_t start, std::int32_t size);

// Phases the families that take part in the window (`window.families`). Every
// such trio must fit a phasing rule at every locus of the window (the input
// check guarantees it). On X only the mothers' transmissions are phased
// (phaseMaternalLocus): an exchange trades a mother's transmitted and
// untransmitted alleles at her resolved loci.
PhaseTable phaseFamilies(const FamilyData& families, const Window& window);

}  // namespace triotdt::haplotype
