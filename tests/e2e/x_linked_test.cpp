// Run folders of chromosome X: tdtinput.dat with the children's sexes in
// tdtsex.tsv beside it. What is refused, with the exact message and the
// files left, by a whole run and by a shard alike.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt::test {
namespace {

// Two biallelic loci. Family 1 a son, his father missing at nothing; family
// 2 a daughter with her father; family 3 a daughter without hers.
std::string xInput(const std::string& family1, const std::string& family2, const std::string& family3) {
    return "3\n20\n2\n2 2\n" + family1 + family2 + family3;
}
const std::string son = "1 1 2 2\n1 2 1 2\n1 1 2 2\n";
const std::string daughter = "2 2 1 1\n1 2 1 2\n2 1 1 1\n";
const std::string fatherless = "0 0 0 0\n1 2 2 2\n1 2 2 2\n";
const std::string sexes = "family\tchild_sex\n1\tson\n2\tdaughter\n3\tdaughter\n";
const std::string lociOn(const std::string& chromosome) {
    return "locus\tchromosome\tposition\tmarker\talleles\n1\t" + chromosome + "\t100\tm1\tA,G\n2\t" + chromosome +
           "\t200\tm2\tC,T\n";
}
const std::string remedy =
    "To keep such a family, write the child's genotype at that locus as 0 0 (missing): the family then leaves "
    "only the windows that hold that locus.\n";

struct XRefusal {
    const char* what;
    std::string input;
    std::optional<std::string> sexes, loci;
    std::string err;
    bool reportsCreated;  // the input was read before it was refused
};

TEST(XLinkedRun, RefusedWithItsMessageByAWholeRunAndAShard) {
    const std::string problems = "tdtinput.dat: the input cannot be analysed (";
    const std::vector<XRefusal> refusals{
        {"a wrong header", xInput(son, daughter, fatherless), "family\tsex\n1\tson\n2\tdaughter\n3\tdaughter\n",
         std::nullopt, "tdtsex.tsv, line 1: the header should be 'family\tchild_sex'\n", true},
        {"a sex not son or daughter", xInput(son, daughter, fatherless),
         "family\tchild_sex\n1\tson\n2\tfemale\n3\tdaughter\n", std::nullopt,
         "tdtsex.tsv, line 3: the child's sex is 'female'; write son or daughter\n", true},
        {"families out of turn", xInput(son, daughter, fatherless), "family\tchild_sex\n1\tson\n3\tdaughter\n",
         std::nullopt, "tdtsex.tsv, line 3: family '3' should be 2 (one row per family of tdtinput.dat, in order)\n",
         true},
        {"a row short", xInput(son, daughter, fatherless), "family\tchild_sex\n1\tson\n2\tdaughter\n", std::nullopt,
         "tdtsex.tsv gives the sex of 2 children, but tdtinput.dat has 3 families; it needs one row per family, in "
         "order\n",
         true},
        {"loci on X without sexes", xInput(son, daughter, fatherless), std::nullopt, lociOn("chrX"),
         "tdtloci.tsv places the loci on chromosome chrX, but tdtsex.tsv, which gives each child's sex, is not "
         "beside tdtinput.dat: a run on X needs it (the import writes it into chrX/)\n",
         false},
        {"sexes with loci on 7", xInput(son, daughter, fatherless), sexes, lociOn("7"),
         "tdtsex.tsv makes this a run on chromosome X, but tdtloci.tsv places the loci on chromosome 7: remove "
         "tdtsex.tsv to analyse them as an autosome's\n",
         false},
        {"heterozygous males", xInput("1 1 2 2\n1 2 1 2\n1 1 1 2\n", "1 2 1 1\n1 2 1 2\n2 1 1 1\n", fatherless), sexes,
         lociOn("X"),
         problems +
             "2 problems):\n  family 1, child (son), locus 2: genotype 1/2 is heterozygous, but a male has one X "
             "(write it as two equal alleles, or 0 0)\n  family 2, father, locus 1: genotype 1/2 is heterozygous, "
             "but a male has one X (write it as two equal alleles, or 0 0)\n",
         true},
        {"children the X rules cannot explain",
         xInput("1 1 2 2\n2 2 1 2\n1 1 2 2\n", "2 2 1 1\n1 2 1 2\n2 1 2 2\n", "0 0 0 0\n1 1 2 2\n2 2 2 2\n"), sexes,
         std::nullopt,
         problems +
             "3 problems):\n  family 1, child (son), locus 1: genotype 1/1 cannot have his one allele from the "
             "mother (2/2)\n  family 2, child (daughter), locus 2: genotype 2/2 cannot have one allele from the "
             "father (1/1) and the other from the mother (1/2)\n  family 3, child (daughter), locus 1: genotype 2/2 "
             "cannot have an allele from the mother (1/1)\n" +
             remedy,
         true},
    };
    for (const XRefusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--shard", "2/2"}}) {
            ScratchFolder folder;
            folder.writeInput(refusal.input);
            std::vector<std::string> files{"tdtinput.dat"};
            if (refusal.sexes) writeFile(folder / "tdtsex.tsv", *refusal.sexes), files.push_back("tdtsex.tsv");
            if (refusal.loci) writeFile(folder / "tdtloci.tsv", *refusal.loci), files.push_back("tdtloci.tsv");
            const RunResult run = runProgram(folder.path(), args);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, refusal.err);
            EXPECT_EQ(run.out, "");
            // A whole run that has read the input leaves both reports empty; a shard leaves nothing.
            if (args.empty() && refusal.reportsCreated) files.insert(files.end(), {"tdtout.txt", "tdttran.txt"});
            std::sort(files.begin(), files.end());
            EXPECT_EQ(filesIn(folder.path()), files);
            EXPECT_EQ(folder.read("tdttran.txt") + folder.read("tdtout.txt"), "");
        }
    }
}

}  // namespace
}  // namespace triotdt::test
