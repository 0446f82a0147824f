// Trios from a pedigree, the rule that leaves out trios or markers, and
// regions: the import's decisions, on hand-made people and genotypes.
#include <gtest/gtest.h>

#include "import/import_error.h"
#include "import/import_files.h"
#include "import/marker_selection.h"
#include "import/pedigree.h"
#include "import/trio_rule.h"
#include "support/input_text.h"
#include "support/test_support.h"

namespace triotdt::import {
namespace {

Person person(const char* family, const char* id, const char* father, const char* mother, std::int32_t column) {
    return Person{family, id, father, mother, 0, column, ""};
}

TEST(FindTrios, SiblingsFormTriosOfTheirOwnWithTheSameParents) {
    const std::vector<Person> people = {
        person("F", "kid1", "dad", "mum", 0), person("F", "dad", "0", "0", 1),    person("F", "mum", "0", "0", 2),
        person("F", "kid2", "dad", "mum", 3), person("F", "kid3", "dad", "0", 4),  // one parent unknown: no trio, and
                                                                                   // the log says so
    };
    const TrioSearch search = findTrios(people);
    ASSERT_EQ(search.trios.size(), 2u);
    EXPECT_EQ(search.trios[0].child, 0);
    EXPECT_EQ(search.trios[1].child, 3);
    for (const Trio& trio : search.trios) {
        EXPECT_EQ(trio.father, 1);
        EXPECT_EQ(trio.mother, 2);
    }
    ASSERT_EQ(search.unmatched.size(), 1u);
    EXPECT_EQ(search.unmatched[0].child, 4);
    EXPECT_EQ(search.unmatched[0].reason, "no mother is named");
}

TEST(FindTrios, ParentsMustBeGenotypedMembersOfTheChildsFamily) {
    const std::vector<Person> people = {
        person("A", "dad", "0", "0", 0),     person("A", "mum", "0", "0", -1),  // not genotyped
        person("A", "kid", "dad", "mum", 1), person("B", "dad", "0", "0", 2),
        person("B", "kid", "dad", "mum", 3),  // B's mother is only in family A
        person("C", "kid", "x", "y", -1),     // a child who is not genotyped forms no trio
    };
    const TrioSearch search = findTrios(people);
    EXPECT_TRUE(search.trios.empty());
    ASSERT_EQ(search.unmatched.size(), 2u);
    EXPECT_EQ(search.unmatched[0].child, 2);
    EXPECT_EQ(search.unmatched[0].reason, "mother mum is not genotyped");
    EXPECT_EQ(search.unmatched[1].child, 4);
    EXPECT_EQ(search.unmatched[1].reason, "mother mum is not in family B but in family A");
}

TEST(ParseRegion, TakesChromosomeAndBothEnds) {
    const auto region = parseRegion("HLA-A*01:01:100-200");
    ASSERT_TRUE(region);
    EXPECT_EQ(region->chromosome, "HLA-A*01:01");
    EXPECT_TRUE(region->contains("HLA-A*01:01", 100));
    EXPECT_TRUE(region->contains("HLA-A*01:01", 200));
    EXPECT_FALSE(region->contains("HLA-A*01:01", 201));
    EXPECT_FALSE(region->contains("1", 150));
    EXPECT_EQ(region->text(), "HLA-A*01:01:100-200");
    const auto whole = parseRegion("chr1");
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->contains("1", 1) && whole->contains("chr1", 250000000) && !whole->contains("chr10", 5));
    EXPECT_EQ(whole->text(), "chr1");
    EXPECT_TRUE(region->contains("chrHLA-A*01:01", 150));
    for (const char* bad : {"", "1 2", ":5-6", "1:5", "1:a-9", "1:9-5", "1:0-5", "1:5-6x", "1:-5-6"}) {
        std::string problem;
        EXPECT_FALSE(parseRegion(bad, &problem)) << bad;
        EXPECT_FALSE(problem.empty()) << bad;
    }
}

// Genotypes of one family (father 0, mother 1, two children 2 and 3) at
// three loci, each genotype written as two allele numbers, 0 for missing.
GenotypeTable familyTable(const std::vector<std::array<Genotype, 4>>& loci) {
    GenotypeTable table;
    table.holdEveryone(4);
    for (const auto& genotypes : loci) {
        LocusGenotypes row = table.addLocus(Locus{"1", 1, "m", {"A", "C", "G"}, ""});
        for (std::size_t p = 0; p < genotypes.size(); ++p) row.set(p, genotypes[p]);
    }
    return table;
}

const std::vector<Trio> siblings = {{0, 1, 2}, {0, 1, 3}};

// tdtinput.dat as writeKeptInput writes it.
std::string writtenInput(const GenotypeTable& table, const std::vector<Trio>& trios, const RuleOutcome& outcome,
                         std::int32_t replicateCount) {
    const test::ScratchFolder scratch;
    const std::string path = (scratch / "tdtinput.dat").string();
    io::OutputUnit unit = io::OutputUnit::createNew(path, "\n");
    writeKeptInput(unit, table, trios, outcome, replicateCount);
    unit.finish();
    return test::readFile(path);
}

// The same input made the plain way, one genotype at a time, as family data.
std::string keptInputText(const GenotypeTable& table, const std::vector<Trio>& trios, const RuleOutcome& outcome,
                          std::int32_t replicateCount) {
    haplotype::FamilyData data;
    data.familyCount = static_cast<std::int32_t>(outcome.keptTrios.size());
    data.replicateCount = replicateCount;
    data.lociCount = static_cast<std::int32_t>(outcome.keptLoci.size());
    for (const std::vector<std::int32_t>& numbers : outcome.alleleNumbers) {
        data.alleleCount.push_back(*std::max_element(numbers.begin(), numbers.end()));
    }
    const std::int32_t largest = *std::max_element(data.alleleCount.begin(), data.alleleCount.end());
    for (haplotype::AlleleTable* alleles : {&data.fatherAlleles, &data.motherAlleles, &data.childAlleles}) {
        *alleles = haplotype::AlleleTable(largest);
    }
    for (const std::int32_t t : outcome.keptTrios) {
        const Trio& trio = trios[static_cast<std::size_t>(t)];
        const auto append = [&](std::int32_t person, haplotype::AlleleTable& alleles) {
            for (std::size_t k = 0; k < outcome.keptLoci.size(); ++k) {
                const std::int32_t l = outcome.keptLoci[k];
                const bool blanked = person == trio.child && outcome.writtenMissing(t, l);
                const Genotype g = blanked ? Genotype{} : table.at(static_cast<std::size_t>(l), person);
                const std::vector<std::int32_t>& numbers = outcome.alleleNumbers[k];
                alleles.push_back(g.missing() ? 0 : numbers[static_cast<std::size_t>(g.first - 1)]);
                alleles.push_back(g.missing() ? 0 : numbers[static_cast<std::size_t>(g.second - 1)]);
            }
        };
        append(trio.father, data.fatherAlleles);
        append(trio.mother, data.motherAlleles);
        append(trio.child, data.childAlleles);
    }
    return test::inputText(data);
}

TEST(ApplyRule, DropTriosLeavesOutTriosAndMissingDataOutweighsMendelianErrors) {
    const GenotypeTable table = familyTable({
        {{{1, 2}, {1, 1}, {1, 1}, {3, 3}}},  // child 2 fine, child 3 cannot come from these parents
        {{{1, 1}, {1, 1}, {1, 1}, {0, 0}}},  // child 3 missing
        {{{1, 1}, {1, 1}, {1, 1}, {1, 1}}},  // every kept trio carries allele 1 only
    });
    const RuleOutcome outcome = applyRule(table, siblings, {DropRule::trios, std::nullopt});
    ASSERT_EQ(outcome.problems.size(), 2u);
    EXPECT_EQ(outcome.problems[0].problem, Problem::mendelianError);
    EXPECT_EQ(outcome.problems[1].problem, Problem::missingData);
    EXPECT_EQ(outcome.trioDropped, (std::vector<std::optional<Problem>>{std::nullopt, Problem::missingData}));
    EXPECT_EQ(outcome.keptTrios, (std::vector<std::int32_t>{0}));
    EXPECT_EQ(outcome.keptLoci, (std::vector<std::int32_t>{0, 1, 2}));
    EXPECT_EQ(outcome.monomorphicLoci, (std::vector<std::int32_t>{1, 2}));

    // Only the alleles the kept trio carries are numbered: 2 at locus 1, 1 at the others.
    EXPECT_EQ(writtenInput(table, siblings, outcome, 77), "1\n77\n3\n2 1 1\n1 2 1 1 1 1\n1 1 1 1 1 1\n1 1 1 1 1 1\n");
}

TEST(ApplyRule, DropMarkersLeavesOutEveryMarkerWithAProblemAndKeepsTheTrios) {
    const GenotypeTable table = familyTable({
        {{{1, 2}, {1, 1}, {1, 1}, {3, 3}}},
        {{{1, 2}, {1, 3}, {2, 3}, {1, 1}}},
        {{{0, 0}, {1, 1}, {1, 2}, {1, 1}}},  // the father is missing: a problem of both trios
    });
    const RuleOutcome outcome = applyRule(table, siblings, {DropRule::markers, std::nullopt});
    EXPECT_EQ(outcome.problems.size(), 3u);
    EXPECT_EQ(outcome.locusDropped,
              (std::vector<std::optional<Problem>>{Problem::mendelianError, std::nullopt, Problem::missingData}));
    EXPECT_EQ(outcome.keptTrios, (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(outcome.keptLoci, (std::vector<std::int32_t>{1}));
    EXPECT_TRUE(outcome.monomorphicLoci.empty());

    const auto rows = buildLociRows(table, outcome);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].locus, 1);  // renumbered from the kept loci
}

// The streamed tdtinput.dat is the text of the kept family data made one
// genotype at a time, under every rule, with a Mendelian error, missing
// genotypes and a locus of 300 alleles (allele numbers that do not fit one
// byte).
TEST(WriteKeptInput, WritesTheTextOfTheKeptFamilyDataUnderEveryRule) {
    GenotypeTable table = familyTable({
        {{{1, 2}, {1, 1}, {1, 1}, {3, 3}}},  // child 3 cannot come from these parents
        {{{1, 2}, {1, 3}, {2, 3}, {1, 1}}},
        {{{0, 0}, {1, 1}, {1, 2}, {1, 1}}},
    });
    Locus wide{"1", 2, "w", {}, ""};
    for (int a = 0; a < 300; ++a) wide.alleles.push_back("a" + std::to_string(a));
    LocusGenotypes row = table.addLocus(wide);
    for (const auto& [p, genotype] : std::vector<std::pair<std::size_t, Genotype>>{
             {0, {300, 256}}, {1, {1, 257}}, {2, {300, 1}}, {3, {256, 257}}}) {
        row.set(p, genotype);
    }
    ASSERT_EQ(table.at(3, 0), (Genotype{300, 256}));
    for (const DropRule rule : {DropRule::genotype, DropRule::trios, DropRule::markers}) {
        const RuleOutcome outcome = applyRule(table, siblings, {rule, std::nullopt});
        EXPECT_EQ(writtenInput(table, siblings, outcome, 9), keptInputText(table, siblings, outcome, 9))
            << static_cast<int>(rule);
    }
}

TEST(ArrangeLoci, KeepsPositionOrderWhateverTheListAndRefusesNamesNotRead) {
    GenotypeTable table;
    table.holdEveryone(1);
    table.addLocus(Locus{"1", 20, "b", {"A", "G"}, "f, line 1"}).set(0, {2, 2});
    table.addLocus(Locus{"1", 10, "a", {"A"}, "f, line 2"}).set(0, {1, 1});
    MarkerSelection selection;
    selection.listPath = "list";
    selection.list = std::vector<ListedMarker>{{"b", 1}, {"a", 2}};  // the file's order, not the map's
    GenotypeTable arranged = table;
    arrangeLoci(arranged, selection);
    ASSERT_EQ(arranged.loci.size(), 2u);
    EXPECT_EQ(arranged.loci[0].name, "a");
    EXPECT_EQ(arranged.at(0, 0).first, 1);
    EXPECT_EQ(arranged.at(1, 0).first, 2);

    selection.list->push_back({"c", 3});
    arranged = table;
    EXPECT_THROW(arrangeLoci(arranged, selection), ImportError);
}

}  // namespace
}  // namespace triotdt::import
