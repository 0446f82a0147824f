#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "haplotype/haplotype_code.h"
#include "haplotype/phasing.h"
#include "support/test_only.h"

namespace triotdt::haplotype {
namespace {

using Alleles = std::vector<std::int32_t>;

// The four phased alleles of a locus as (FT, FU, MT, MU) and its ambiguity.
struct Expected {
    std::int32_t ft, fu, mt, mu;
    bool ambiguous;
};

void expectPhase(const std::optional<LocusPhase>& phase, const Expected& expected) {
    ASSERT_TRUE(phase.has_value());
    EXPECT_EQ(phase->fatherTransmit, expected.ft);
    EXPECT_EQ(phase->fatherUntransmit, expected.fu);
    EXPECT_EQ(phase->motherTransmit, expected.mt);
    EXPECT_EQ(phase->motherUntransmit, expected.mu);
    EXPECT_EQ(phase->ambiguous, expected.ambiguous);
}

// --- One locus ------------------------------------------------------------------

// Father 1/2 and mother 3/4 share no allele, so each child genotype fits
// exactly one of the eight rules, and that rule's row decides.
struct RuleCase {
    std::int32_t c1, c2;
    Expected expected;
};

TEST(PhaseLocus, EachRuleAloneSetsItsRow) {
    const std::vector<RuleCase> rules{
        {1, 3, {1, 2, 3, 4, false}},  // rule 1: c1 = f1, c2 = m1
        {3, 1, {1, 2, 3, 4, false}},  // rule 2: c2 = f1, c1 = m1
        {2, 3, {2, 1, 3, 4, false}},  // rule 3: c1 = f2, c2 = m1
        {3, 2, {2, 1, 3, 4, false}},  // rule 4: c2 = f2, c1 = m1
        {1, 4, {1, 2, 4, 3, false}},  // rule 5: c1 = f1, c2 = m2
        {4, 1, {1, 2, 4, 3, false}},  // rule 6: c2 = f1, c1 = m2
        {2, 4, {2, 1, 4, 3, false}},  // rule 7: c1 = f2, c2 = m2
        {4, 2, {2, 1, 4, 3, false}},  // rule 8: c2 = f2, c1 = m2
    };
    for (std::size_t r = 0; r < rules.size(); ++r) {
        SCOPED_TRACE("rule " + std::to_string(r + 1));
        expectPhase(phaseLocus(1, 2, 3, 4, rules[r].c1, rules[r].c2), rules[r].expected);
    }
}

TEST(PhaseLocus, WhenSeveralRulesHoldTheLastDecides) {
    // Both parents and the child 1/2: rules 4 and 5 hold; rule 5 decides. Ambiguous.
    expectPhase(phaseLocus(1, 2, 1, 2, 1, 2), {1, 2, 2, 1, true});
    // Father 1/2, mother 2/1, child 2/1: rules 2 and 7 hold; rule 7 decides. Ambiguous.
    expectPhase(phaseLocus(1, 2, 2, 1, 2, 1), {2, 1, 1, 2, true});
    // Father 3/1, mother 2/2, child 1/2: rules 3 and 7 agree. Resolved.
    expectPhase(phaseLocus(3, 1, 2, 2, 1, 2), {1, 3, 2, 2, false});
}

TEST(PhaseLocus, ResolvedWhenAParentIsHomozygousOrTheChildIsNotLikeBothParents) {
    // Father 1/1, mother 1/2, child 1/2: rules 5 and 7 agree; resolved since FT = FU.
    expectPhase(phaseLocus(1, 1, 1, 2, 1, 2), {1, 1, 2, 1, false});
    // Both parents 1/2, child 1/1: rules 1 and 2 agree; resolved since MU differs from FT.
    expectPhase(phaseLocus(1, 2, 1, 2, 1, 1), {1, 2, 1, 2, false});
    // Both parents 1/2, child 2/2.
    expectPhase(phaseLocus(1, 2, 1, 2, 2, 2), {2, 1, 2, 1, false});
    // Father 1/2, mother 2/3, child 2/2: rules 3 and 4 hold.
    expectPhase(phaseLocus(1, 2, 2, 3, 2, 2), {2, 1, 2, 3, false});
    // Everyone 1/1.
    expectPhase(phaseLocus(1, 1, 1, 1, 1, 1), {1, 1, 1, 1, false});
    // Parents 1/2 and 1/3 share one allele only: never ambiguous.
    expectPhase(phaseLocus(1, 2, 1, 3, 1, 2), {2, 1, 1, 3, false});
}

TEST(PhaseLocus, AmbiguousOnlyWhenBothParentsAndTheChildCarryTheSameTwoAlleles) {
    for (const auto& [f1, f2, m1, m2, c1, c2] : std::vector<std::array<std::int32_t, 6>>{
             {1, 2, 1, 2, 1, 2}, {2, 1, 1, 2, 1, 2}, {1, 2, 2, 1, 2, 1}, {2, 1, 2, 1, 1, 2}, {3, 5, 5, 3, 5, 3}}) {
        const auto phase = phaseLocus(f1, f2, m1, m2, c1, c2);
        ASSERT_TRUE(phase.has_value());
        EXPECT_TRUE(phase->ambiguous) << f1 << "/" << f2 << " " << m1 << "/" << m2 << " " << c1 << "/" << c2;
    }
}

TEST(PhaseLocus, NoRuleFitsAnInconsistentTrio) {
    // The child carries an allele neither parent has.
    EXPECT_FALSE(phaseLocus(1, 1, 1, 1, 1, 2).has_value());
    EXPECT_FALSE(phaseLocus(1, 2, 1, 2, 3, 1).has_value());
    // Both of the child's alleles can only come from the father.
    EXPECT_FALSE(phaseLocus(1, 2, 3, 3, 1, 2).has_value());
    // ... or only from the mother.
    EXPECT_FALSE(phaseLocus(3, 3, 1, 2, 2, 1).has_value());
}

// --- One locus on X --------------------------------------------------------------

// The mother's transmitted and untransmitted allele and whether they are open;
// nothing for genotypes that cannot be.
struct MaternalCase {
    ChildSex sex;
    std::int32_t f1, f2, m1, m2, c1, c2;
    std::optional<std::array<std::int32_t, 2>> transmitted;  // MT, MU
    bool ambiguous;
};

TEST(PhaseMaternalLocus, TheMothersAlleleFromASonOrFromADaughterAndHerFather) {
    using enum ChildSex;
    using Pair = std::array<std::int32_t, 2>;
    const std::vector<MaternalCase> cases{
        {son, 1, 1, 1, 2, 2, 2, Pair{2, 1}, false},         // his one allele is his mother's
        {son, 0, 0, 2, 1, 2, 2, Pair{2, 1}, false},         // no father needed
        {son, 3, 3, 1, 1, 1, 1, Pair{1, 1}, false},         // a homozygous mother
        {son, 1, 1, 1, 2, 1, 2, std::nullopt, false},       // a heterozygous son
        {son, 1, 1, 1, 1, 2, 2, std::nullopt, false},       // not his mother's
        {daughter, 1, 1, 1, 2, 1, 2, Pair{2, 1}, false},    // her father gave 1
        {daughter, 1, 1, 1, 2, 1, 1, Pair{1, 2}, false},    // homozygous, her father known
        {daughter, 0, 0, 1, 2, 3, 2, Pair{2, 1}, false},    // 3 is not her mother's: her father's
        {daughter, 0, 0, 1, 2, 1, 2, Pair{1, 2}, true},     // open without the father
        {daughter, 0, 0, 1, 2, 2, 2, Pair{1, 2}, true},     // open too: see phaseMaternalLocus
        {daughter, 0, 0, 2, 2, 2, 1, Pair{2, 2}, false},    // a homozygous mother
        {daughter, 1, 2, 1, 2, 1, 2, std::nullopt, false},  // a heterozygous father
        {daughter, 1, 1, 2, 2, 2, 2, std::nullopt, false},  // lacks her father's allele
        {daughter, 0, 0, 1, 1, 2, 3, std::nullopt, false},  // has none of her mother's
    };
    for (const MaternalCase& c : cases) {
        SCOPED_TRACE(std::string(c.sex == son ? "son " : "daughter ") + std::to_string(c.f1) + "/" +
                     std::to_string(c.f2) + " " + std::to_string(c.m1) + "/" + std::to_string(c.m2) + " " +
                     std::to_string(c.c1) + "/" + std::to_string(c.c2));
        const auto phase = phaseMaternalLocus(c.sex, c.f1, c.f2, c.m1, c.m2, c.c1, c.c2);
        ASSERT_EQ(phase.has_value(), c.transmitted.has_value());
        if (!phase) continue;
        // The father's fields repeat the mother's.
        expectPhase(phase,
                    {(*c.transmitted)[0], (*c.transmitted)[1], (*c.transmitted)[0], (*c.transmitted)[1], c.ambiguous});
    }
}

// --- Families in a window -------------------------------------------------------------

// Families given as, per person, 2 × loci alleles.
struct Trio {
    Alleles father, mother, child;
};

FamilyData familiesOf(std::vector<std::int32_t> alleleCount, const std::vector<Trio>& trios) {
    FamilyData data;
    data.familyCount = static_cast<std::int32_t>(trios.size());
    data.replicateCount = 1;
    data.lociCount = static_cast<std::int32_t>(alleleCount.size());
    data.alleleCount = std::move(alleleCount);
    for (const Trio& trio : trios) {
        data.fatherAlleles.append(trio.father);
        data.motherAlleles.append(trio.mother);
        data.childAlleles.append(trio.child);
    }
    return data;
}

Window windowOf(const FamilyData& data, std::int32_t start, std::int32_t size) {
    Window window;
    window.start = start;
    window.size = size;
    window.alleleCount.assign(data.alleleCount.begin() + (start - 1), data.alleleCount.begin() + (start - 1 + size));
    window.haplotypeCount = static_cast<std::int32_t>(countHaplotypes(window.alleleCount));
    window.families = familiesTakingPart(data, start, size);
    return window;
}

using test::combinationsOf;

// Whether family f's phase is resolved at locus k (0-based) of the window from locus 1.
bool resolvedAt(const FamilyData& data, std::int32_t f, std::int32_t k) {
    return test::resolvedAt(data, windowOf(data, 1, data.lociCount), f, k);
}

TEST(PhaseFamilies, WorkedExampleOfTwoLoci) {
    // Allele counts 2 and 3: the code of (a1, a2) is 3 × (a1 − 1) + a2.
    const FamilyData data = familiesOf({2, 3}, {{{1, 2, 3, 1}, {1, 2, 2, 2}, {1, 2, 1, 2}}});
    const PhaseTable table = phaseFamilies(data, windowOf(data, 1, 2));
    ASSERT_EQ(table.familyCount(), 1);
    EXPECT_EQ(table.phaseCount[0], 2);
    EXPECT_FALSE(resolvedAt(data, 0, 0));
    EXPECT_TRUE(resolvedAt(data, 0, 1));
    EXPECT_EQ(combinationsOf(table, 0), (std::vector<Combination>{{1, 6, 5, 2}, {4, 3, 2, 5}}));
}

// A family takes part only where father, mother and child are all genotyped
// (no allele 0) at every locus of the window; it is phased as if the others
// were not there, and keeps its place in the input.
TEST(PhaseFamilies, OnlyFamiliesGenotypedAtEveryLocusOfTheWindowTakePart) {
    const Trio complete{{1, 2, 1, 1, 1, 2}, {1, 2, 2, 2, 1, 2}, {1, 2, 1, 2, 1, 2}};
    Trio halfMissing = complete, motherMissing = complete;
    halfMissing.child[3] = 0;                               // locus 2
    motherMissing.mother[4] = motherMissing.mother[5] = 0;  // locus 3
    const FamilyData data = familiesOf({2, 2, 2}, {halfMissing, complete, motherMissing});
    EXPECT_EQ(familiesTakingPart(data, 1, 1), (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(familiesTakingPart(data, 2, 1), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(familiesTakingPart(data, 1, 3), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(familiesTakingPart(data, 3, 1), (std::vector<std::int32_t>{0, 1}));

    const PhaseTable table = phaseFamilies(data, windowOf(data, 2, 2));
    const FamilyData alone = familiesOf({2, 2, 2}, {complete});
    const PhaseTable expected = phaseFamilies(alone, windowOf(alone, 2, 2));
    EXPECT_EQ(table.inputFamily, (std::vector<std::int32_t>{1}));
    EXPECT_EQ(table.inputFamilyCount, 3);
    EXPECT_EQ(table.phaseCount, expected.phaseCount);
    EXPECT_EQ(table.combinations, expected.combinations);
    EXPECT_EQ(table.exchanged, expected.exchanged);
}

TEST(PhaseFamilies, TwoAmbiguousLociCountWithTheLastChangingFastest) {
    // Three biallelic loci, the code of (a1, a2, a3) is 4(a1 − 1) + 2(a2 − 1) + a3.
    // Loci 1 and 3: everyone 1/2, phased FT 1, FU 2, MT 2, MU 1 (choice 1).
    // Locus 2: father 1/1, mother 2/2, resolved: FT = FU = 1, MT = MU = 2.
    const FamilyData data = familiesOf({2, 2, 2}, {{{1, 2, 1, 1, 1, 2}, {1, 2, 2, 2, 1, 2}, {1, 2, 1, 2, 1, 2}}});
    const PhaseTable table = phaseFamilies(data, windowOf(data, 1, 3));
    EXPECT_EQ(table.phaseCount[0], 4);
    EXPECT_FALSE(resolvedAt(data, 0, 0));
    EXPECT_TRUE(resolvedAt(data, 0, 1));
    EXPECT_FALSE(resolvedAt(data, 0, 2));
    // Choices (1,1,1), (1,1,2), (2,1,1), (2,1,2) at loci 1, 2, 3.
    EXPECT_EQ(combinationsOf(table, 0), (std::vector<Combination>{
                                            {1, 6, 8, 3},  // FT (1,1,1) FU (2,1,2) MT (2,2,2) MU (1,2,1)
                                            {2, 5, 7, 4},  // FT (1,1,2) FU (2,1,1) MT (2,2,1) MU (1,2,2)
                                            {5, 2, 4, 7},  // FT (2,1,1) FU (1,1,2) MT (1,2,2) MU (2,2,1)
                                            {6, 1, 3, 8},  // FT (2,1,2) FU (1,1,1) MT (1,2,1) MU (2,2,2)
                                        }));
}

// On X a family takes part where mother and child are genotyped; only the
// mother's haplotypes are phased (the father's fields repeat hers), and an
// exchange trades them at her resolved loci.
TEST(PhaseFamilies, OnXTheMothersHaplotypesAlone) {
    // A son (his father missing), a daughter with her father, and a daughter
    // without hers, open at locus 1 and resolved at locus 2 (3 is his).
    FamilyData data = familiesOf({2, 3}, {{{0, 0, 0, 0}, {1, 2, 1, 2}, {2, 2, 1, 1}},
                                          {{1, 1, 3, 3}, {1, 2, 2, 1}, {1, 2, 3, 1}},
                                          {{0, 0, 0, 0}, {1, 2, 2, 1}, {1, 2, 2, 3}}});
    data.inheritance = Inheritance::xLinked;
    data.childSex = {ChildSex::son, ChildSex::daughter, ChildSex::daughter};
    EXPECT_EQ(familiesTakingPart(data, 1, 2), (std::vector<std::int32_t>{0, 1, 2}));
    const PhaseTable table = phaseFamilies(data, windowOf(data, 1, 2));
    EXPECT_EQ(table.inheritance, Inheritance::xLinked);
    EXPECT_EQ(table.phaseCount, (std::vector<std::int32_t>{1, 1, 2}));
    // Codes 3 × (a1 − 1) + a2. Son: MT (2,1) = 4, MU (1,2) = 2; daughter 2:
    // MT (2,1) = 4, MU (1,2) = 2; daughter 3: MT (1,2) = 2, MU (2,1) = 4, or
    // with locus 1 open MT (2,2) = 5, MU (1,1) = 1.
    EXPECT_EQ(table.combinations, (std::vector<Combination>{{4, 2, 4, 2}, {4, 2, 4, 2}, {2, 4, 2, 4}, {5, 1, 5, 1}}));
    // Exchanged at the resolved loci: both for the first two, locus 2 for the third.
    EXPECT_EQ(table.exchanged, (std::vector<Combination>{{2, 4, 2, 4}, {2, 4, 2, 4}, {1, 5, 1, 5}, {4, 2, 4, 2}}));
    data.motherAlleles = AlleleTable({0, 0, 1, 2, 1, 2, 2, 1, 1, 2, 2, 1});
    EXPECT_EQ(familiesTakingPart(data, 1, 1), (std::vector<std::int32_t>{1, 2}));
}

TEST(PhaseFamilies, AFamilyAmbiguousAtSevenLociHas128CombinationsInCountingOrder) {
    const Alleles het{1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2};
    const FamilyData data = familiesOf(Alleles(7, 2), {{het, het, het}});
    const PhaseTable table = phaseFamilies(data, windowOf(data, 1, 7));
    ASSERT_EQ(table.phaseCount[0], 128);
    for (std::int32_t k = 0; k < 7; ++k) EXPECT_FALSE(resolvedAt(data, 0, k));
    // Choice 1 gives FT 1, FU 2, MT 2, MU 1 at every locus and choice 2 the
    // reverse, so with two alleles per locus combination p (from 0) has the
    // father's transmitted code p + 1.
    const std::vector<Combination> combinations = combinationsOf(table, 0);
    ASSERT_EQ(combinations.size(), 128u);
    for (std::int32_t p = 0; p < 128; ++p) {
        EXPECT_EQ(combinations[static_cast<std::size_t>(p)], (Combination{p + 1, 128 - p, 128 - p, p + 1}))
            << "combination " << p + 1;
    }
}

TEST(PhaseFamilies, FamiliesKeepTheirOwnCombinationsInInputOrder) {
    // The two-family example of three loci with allele counts 2, 3, 4.
    const FamilyData data = familiesOf({2, 3, 4}, {
                                                      {{1, 2, 3, 1, 4, 4}, {2, 2, 1, 2, 1, 3}, {2, 1, 1, 3, 4, 1}},
                                                      {{1, 2, 1, 2, 2, 2}, {1, 2, 2, 1, 1, 2}, {2, 1, 2, 1, 2, 2}},
                                                      {{2, 1, 2, 2, 3, 3}, {1, 1, 1, 2, 1, 4}, {1, 1, 2, 2, 3, 4}},
                                                  });
    const PhaseTable whole = phaseFamilies(data, windowOf(data, 1, 3));
    EXPECT_EQ(whole.phaseCount, (std::vector<std::int32_t>{1, 4, 1}));
    // Family 1: FT (1,3,4) = 12, FU (2,1,4) = 16, MT (2,1,1) = 13, MU (2,2,3) = 19.
    EXPECT_EQ(combinationsOf(whole, 0), (std::vector<Combination>{{12, 16, 13, 19}}));
    EXPECT_EQ(combinationsOf(whole, 1).size(), 4u);
    // Family 3: FT (1,2,3) = 7, FU (2,2,3) = 19, MT (1,2,4) = 8, MU (1,1,1) = 1.
    EXPECT_EQ(combinationsOf(whole, 2), (std::vector<Combination>{{7, 19, 8, 1}}));

    // A window that starts at locus 2 takes its genotypes from loci 2 and 3:
    // with allele counts 3 and 4 the code of (a2, a3) is 4(a2 − 1) + a3.
    const PhaseTable tail = phaseFamilies(data, windowOf(data, 2, 2));
    EXPECT_EQ(tail.phaseCount, (std::vector<std::int32_t>{1, 2, 1}));
    EXPECT_EQ(combinationsOf(tail, 0), (std::vector<Combination>{{12, 4, 1, 7}}));
    EXPECT_EQ(combinationsOf(tail, 2), (std::vector<Combination>{{7, 7, 8, 1}}));
}

TEST(PhaseFamilies, OneLocusWindowsGiveTheAllelesAsCodes) {
    const FamilyData data = familiesOf({3, 2}, {
                                                   {{3, 1, 1, 2}, {2, 2, 1, 2}, {1, 2, 1, 2}},
                                                   {{1, 1, 2, 2}, {1, 3, 1, 2}, {1, 3, 2, 1}},
                                               });
    const PhaseTable first = phaseFamilies(data, windowOf(data, 1, 1));
    EXPECT_EQ(first.phaseCount, (std::vector<std::int32_t>{1, 1}));
    EXPECT_EQ(combinationsOf(first, 0), (std::vector<Combination>{{1, 3, 2, 2}}));
    EXPECT_EQ(combinationsOf(first, 1), (std::vector<Combination>{{1, 1, 3, 1}}));
    const PhaseTable second = phaseFamilies(data, windowOf(data, 2, 1));
    EXPECT_EQ(second.phaseCount, (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(combinationsOf(second, 0), (std::vector<Combination>{{1, 2, 2, 1}, {2, 1, 1, 2}}));
    EXPECT_EQ(combinationsOf(second, 1), (std::vector<Combination>{{2, 2, 1, 2}}));
}

TEST(PhaseFamilies, NoFamiliesGiveAnEmptyTable) {
    const FamilyData data = familiesOf({2, 2}, {});
    const PhaseTable table = phaseFamilies(data, windowOf(data, 1, 2));
    EXPECT_EQ(table.familyCount(), 0);
    EXPECT_TRUE(table.combinations.empty());
}

}  // namespace
}  // namespace triotdt::haplotype
