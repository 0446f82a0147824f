// What the import chooses to write, run as a user would on small files made
// for each choice: locus order, chromosomes, affected children, X, alleles,
// missing genotypes and Mendelian errors.
#include <gtest/gtest.h>

#include <array>
#include <sstream>

#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt::test {
namespace {

namespace fs = std::filesystem;

// A marker of a VCF written by `writeVcf`: genotype calls in sample order.
struct Site {
    std::string chromosome;
    int position = 0;
    std::string id;
    std::string ref, alt;
    std::string calls;  // "0/1 0/0 ./. ..."
};

const std::string trioSamples = "AF AM AC BF BM BC CF CM CC";

// Alleles 0 (the reference) and 1 at frequencies that differ from marker to marker.
struct SmallRandomCalls {
    std::uint64_t state;
    std::uint64_t next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    }
    int allele(int marker) { return static_cast<int>(next() % 10) < 3 + marker ? 1 : 0; }
};
const std::string triosPedigree =
    "A AF 0 0 1 1\nA AM 0 0 2 1\nA AC AF AM 1 2\n"
    "B BF 0 0 1 1\nB BM 0 0 2 1\nB BC BF BM 2 2\n"
    "C CF 0 0 1 1\nC CM 0 0 2 1\nC CC CF CM 1 2\n";

void writeVcf(const fs::path& path, const std::string& samples, const std::vector<Site>& sites) {
    std::string text =
        "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
        "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    std::istringstream names(samples);
    for (std::string name; names >> name;) text += "\t" + name;
    text += "\n";
    for (const Site& site : sites) {
        text += site.chromosome + "\t" + std::to_string(site.position) + "\t" + site.id + "\t" + site.ref + "\t" +
                site.alt + "\t.\tPASS\t.\tGT";
        std::istringstream calls(site.calls);
        for (std::string call; calls >> call;) text += "\t" + call;
        text += "\n";
    }
    writeFile(path, text);
}

// The records of a tdtinput.dat after the allele counts, one string each.
std::vector<std::string> records(const std::string& input) {
    std::istringstream lines(input);
    std::vector<std::string> result;
    std::string line;
    for (int skipped = 0; skipped < 4 && std::getline(lines, line); ++skipped) {
    }
    while (std::getline(lines, line)) result.push_back(line);
    return result;
}

std::string lineOf(const std::string& input, int number) {
    std::istringstream lines(input);
    std::string line;
    for (int i = 0; i < number; ++i) std::getline(lines, line);
    return line;
}

class ImportChoices : public ::testing::Test {
protected:
    ScratchFolder scratch;
    fs::path folder = scratch.path();

    RunResult importVcf(const std::vector<Site>& sites, const std::string& pedigree = triosPedigree,
                        std::vector<std::string> options = {}, const std::string& samples = trioSamples) {
        writeVcf(folder / "in.vcf", samples, sites);
        writeFile(folder / "in.fam", pedigree);
        std::vector<std::string> arguments = {"import", "--vcf",        "in.vcf", "--pedigree",
                                              "in.fam", "--replicates", "10"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return runProgram(folder, arguments);
    }
    std::string read(const std::string& name) { return readFile(folder / name); }
    bool has(const std::string& name, const std::string& text) { return read(name).find(text) != std::string::npos; }
};

// ---- Order -------------------------------------------------------------

TEST_F(ImportChoices, LociFollowPositionWhateverTheFileOrListOrder) {
    writeFile(folder / "list.txt", "m4\nm1\nm2\n");
    const std::string refs = "0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0 0/0";
    const RunResult run = importVcf({{"1", 3000, "m3", "A", "C", refs},
                                     {"1", 1000, "m1", "A", "C", refs},
                                     {"1", 4000, "m4", "A", "C", "1/1 " + refs.substr(4)},
                                     {"1", 2000, "m2", "A", "C", "0/1 " + refs.substr(4)}},
                                    triosPedigree, {"--markers", "list.txt"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read("tdtloci.tsv"),
              "locus\tchromosome\tposition\tmarker\talleles\n1\t1\t1000\tm1\tA\n"
              "2\t1\t2000\tm2\tA,C\n3\t1\t4000\tm4\tA,C\n");
    EXPECT_EQ(lineOf(read("tdtinput.dat"), 4), "1 2 2");
    EXPECT_EQ(records(read("tdtinput.dat"))[0], "1 1 1 2 2 2");  // AF's genotypes moved with their loci
}

// ---- Chromosomes -------------------------------------------------------

const std::string oneCall = "0/1 0/0 0/1 0/1 0/0 0/0 0/0 0/1 0/1";
const std::vector<Site> threeChromosomes = {{"2", 50, "b50", "A", "C", oneCall},
                                            {"10", 10, "c10", "A", "C", oneCall},
                                            {"1", 500, "a500", "A", "C", oneCall},
                                            {"2", 20, "b20", "A", "C", oneCall}};

TEST_F(ImportChoices, EachChromosomeGetsARunFolderInNaturalOrder) {
    const RunResult run = importVcf(threeChromosomes);
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* name : {"chr1", "chr2", "chr10"}) {
        for (const char* file : {"tdtinput.dat", "tdtloci.tsv", "tdttrios.tsv", "tdtimport.log"}) {
            EXPECT_TRUE(fs::exists(folder / name / file)) << name << "/" << file;
        }
    }
    EXPECT_FALSE(fs::exists(folder / "tdtinput.dat"));
    EXPECT_TRUE(fs::exists(folder / "tdtimport.log"));
    EXPECT_EQ(read("chr2/tdtloci.tsv"),
              "locus\tchromosome\tposition\tmarker\talleles\n1\t2\t20\tb20\tA,C\n2\t2\t50\tb50\tA,C\n");
    EXPECT_EQ(lineOf(read("chr10/tdtinput.dat"), 3), "1");
    const auto at = [&](const char* text) { return run.out.find(text); };
    EXPECT_NE(at("Chromosomes: 3,"), std::string::npos) << run.out;
    EXPECT_LT(at("Chromosome 1, in chr1/:"), at("Chromosome 2, in chr2/:"));
    EXPECT_LT(at("Chromosome 2, in chr2/:"), at("Chromosome 10, in chr10/:"));
    EXPECT_NE(at("Chromosome 10, in chr10/:"), std::string::npos);
}

TEST_F(ImportChoices, ChromosomeOptionWritesOneInTheWorkingFolder) {
    const RunResult run = importVcf(threeChromosomes, triosPedigree, {"--chromosome", "chr2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(fs::exists(folder / "chr2"));
    EXPECT_EQ(lineOf(read("tdtinput.dat"), 3), "2");
    EXPECT_NE(run.out.find("Chromosome chr2 only (--chromosome): 2 markers of other chromosomes left out."),
              std::string::npos)
        << run.out;

    fs::create_directories(folder / "other");
    const RunResult none =
        runProgram(folder / "other", {"import", "--vcf", "../in.vcf", "--pedigree", "../in.fam", "--chromosome", "3"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.err,
              "triotdt import: --chromosome 3: no selected marker is on it; the selected markers are on "
              "chromosomes 1, 2, 10\n");
}

TEST_F(ImportChoices, AnExistingRunFolderStopsTheImportBeforeAnythingIsWritten) {
    fs::create_directories(folder / "chr2");
    const RunResult run = importVcf(threeChromosomes);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("chr2 already exists"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(folder / "chr1"));
    EXPECT_FALSE(fs::exists(folder / "chr10"));
    EXPECT_FALSE(fs::exists(folder / "tdtimport.log"));
    EXPECT_TRUE(fs::is_empty(folder / "chr2"));
}

// ---- Affected children -------------------------------------------------

const std::string pedigreeWithDuo =
    "A AF 0 0 1 1\nA AM 0 0 2 1\nA AC AF AM 1 2\n"
    "B BF 0 0 1 1\nB BM 0 0 2 1\nB BC BF BM 2 1\n"
    "C CF 0 0 1 1\nC CM 0 0 2 1\nC CC CF CM 1 2\nC CD CF 0 1 2\n";
const std::string duoSamples = trioSamples + " CD";
const std::vector<Site> duoSite = {{"1", 100, "m", "A", "C", "0/1 0/0 0/1 0/1 0/0 0/0 0/0 0/1 0/1 0/0"}};

TEST_F(ImportChoices, OnlyAffectedChildrenFormTriosByDefault) {
    const RunResult run = importVcf(duoSite, pedigreeWithDuo, {}, duoSamples);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(lineOf(read("tdtinput.dat"), 1), "2");
    EXPECT_NE(run.out.find("Children: 4 genotyped; 3 affected used, 1 not affected left out (--all-children keeps "
                           "them); 1 child forms no trio.\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(has("tdtimport.log", "Children left out as not affected (1):\n  family B, child BC: phenotype 1\n"));
    EXPECT_TRUE(has("tdtimport.log", "Children who form no trio (1):\n  family C, child CD: no mother is named\n"));
}

TEST_F(ImportChoices, AllChildrenOrNoAffectionStatusUsesEveryChild) {
    const RunResult all = importVcf(duoSite, pedigreeWithDuo, {"--all-children"}, duoSamples);
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(lineOf(read("tdtinput.dat"), 1), "3");
    EXPECT_NE(all.out.find("every one used, affected or not (--all-children)"), std::string::npos) << all.out;

    fs::create_directories(folder / "unknown");
    std::string pedigree = pedigreeWithDuo;
    for (const char* child : {"AF AM 1 2", "BF BM 2 1", "CF CM 1 2", "CF 0 1 2"}) {
        const std::string from(child);
        const std::string to = from.substr(0, from.size() - 1) + (from.back() == '2' ? "-9" : "0");
        pedigree.replace(pedigree.find(from), from.size(), to);
    }
    writeFile(folder / "unknown/in.fam", pedigree);
    const RunResult unknown = runProgram(folder / "unknown", {"import", "--vcf", "../in.vcf", "--pedigree", "in.fam"});
    ASSERT_EQ(unknown.status, 0) << unknown.err;
    EXPECT_EQ(lineOf(readFile(folder / "unknown/tdtinput.dat"), 1), "3");
    EXPECT_NE(unknown.out.find("Children: 4 genotyped, none with an affection status in the pedigree, so every one is "
                               "used; 1 child forms no trio.\n"),
              std::string::npos)
        << unknown.out;
}

// ---- X, Y, XY and MT ----------------------------------------------------

TEST_F(ImportChoices, YAndMtAreLeftOutXAndXyGetRunFoldersOfTheirOwn) {
    std::vector<Site> sites;
    for (const char* chromosome : {"chrY", "25", "MT", "chrM", "1", "X"})
        sites.push_back({chromosome, 100, ".", "A", "C", oneCall});
    const RunResult run = importVcf(sites);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Chromosomes Y and MT: 3 markers left out (their inheritance is not modelled).\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(has("tdtimport.log",
                    "Markers of Y and MT, left out (3):\n  chrY:100 (chrY:100)\n  chrM:100 (chrM:100)\n  "
                    "MT:100 (MT:100)\n"));
    // XY, the pseudo-autosomal part, is an autosome's folder; only X's has the sexes.
    EXPECT_EQ(read("chrXY/tdtloci.tsv"), "locus\tchromosome\tposition\tmarker\talleles\n1\t25\t100\t25:100\tA,C\n");
    EXPECT_EQ(read("chrX/tdtsex.tsv"), "family\tchild_sex\n1\tson\n2\tdaughter\n3\tson\n");
    for (const char* autosomal : {"chr1", "chrXY"}) EXPECT_FALSE(fs::exists(folder / autosomal / "tdtsex.tsv"));
}

// A male's haploid call on X is his one allele, written as two equal ones;
// a heterozygous call of a male is written 0 0, a woman's haploid call is
// missing, and a child of unknown sex leaves the X folder.
TEST_F(ImportChoices, OnXMalesHaveOneAlleleAndChildrenTheirSex) {
    const std::string pedigree = triosPedigree + "D DF 0 0 1 1\nD DM 0 0 2 1\nD DC DF DM 0 2\n";
    const RunResult run = importVcf({{"X", 100, "x1", "A", "C", "0 0/1 1 0/1 1/1 1/0 1 0/1 0 1 0/0 1/1"},
                                     {"X", 200, "x2", "A", "C", "1 0/1 0 1 0/1 0/1 0 1 0 0 1/1 1/1"}},
                                    pedigree, {}, trioSamples + " DF DM DC");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read("tdtsex.tsv"), "family\tchild_sex\n1\tson\n2\tdaughter\n3\tson\n");
    // Father B (0/1 at x1) is written 0 0; mother C's haploid call at x2 is missing.
    EXPECT_EQ(records(read("tdtinput.dat")),
              (std::vector<std::string>{"1 1 2 2", "1 2 1 2", "2 2 1 1", "0 0 2 2", "2 2 1 2", "2 1 1 2", "2 2 1 1",
                                        "1 2 0 0", "1 1 1 1"}));
    EXPECT_NE(run.out.find("Trios: 4 found; 3 kept, 0 left out for missing data, 0 left out for Mendelian errors, 1 "
                           "left out for a child of unknown sex.\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("Chromosome X: 2 sons and 1 daughter in the kept trios; only mothers' transmissions are "
                           "analysed; 1 heterozygous call of fathers and sons written 0 0 (a male has one X).\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(has("tdtimport.log", "Haploid calls read as missing genotypes: 1, at 1 marker.\n"));
    EXPECT_TRUE(has("tdtimport.log", "Trios left out of X: the child's sex is not known (1):\n  family D, child DC"));
    EXPECT_TRUE(has("tdtimport.log",
                    "Heterozygous calls of males on X, written 0 0 (1):\n  family B, father BF, marker x1 (X:100): "
                    "A/C\n"));
}

// From a VCF of chromosomes 1 and X, with males' calls haploid, through the
// import to the analysis of chrX/: with every mother's transmission known,
// a one-marker window's Pe is (b − c)²/(b + c) for each of its two alleles,
// twice the X-linked TDT of the heterozygous mothers, b of whom transmit the
// first allele and c the second.
TEST_F(ImportChoices, OnXTheOneMarkerPeIsTwiceTheXLinkedTdt) {
    constexpr int trios = 40, markers = 5;
    std::string pedigree, samples;
    std::vector<Site> sites;
    for (int m = 0; m < markers; ++m) sites.push_back({"X", 1000 * (m + 1), "x" + std::to_string(m + 1), "G", "T", ""});
    sites.push_back({"1", 500, "a1", "C", "A", ""});
    std::vector<std::array<int, 2>> bc(markers);  // b and c of each X marker, counted here
    SmallRandomCalls random{29};
    for (int t = 0; t < trios; ++t) {
        const std::string f = "F" + std::to_string(t), son = t % 3 == 0 ? "1" : "2";
        pedigree += f + " " + f + "P 0 0 1 1\n" + f + " " + f + "M 0 0 2 1\n" + f + " " + f + "C " + f + "P " + f +
                    "M " + son + " 2\n";
        samples += " " + f + "P " + f + "M " + f + "C";
        for (int m = 0; m < markers; ++m) {
            const int father = random.allele(m), mother[2] = {random.allele(m), random.allele(m)};
            const int transmitted = mother[random.next() % 2];
            const std::string fromMother = std::to_string(transmitted);
            sites[static_cast<std::size_t>(m)].calls +=
                std::to_string(father) + " " + std::to_string(mother[0]) + "/" + std::to_string(mother[1]) + " " +
                (son == "1" ? fromMother : std::to_string(father) + "/" + fromMother) + " ";
            if (mother[0] != mother[1]) ++bc[static_cast<std::size_t>(m)][static_cast<std::size_t>(transmitted)];
        }
        sites.back().calls += "0/1 1/1 0/1 ";
    }
    samples.erase(0, 1);
    ASSERT_EQ(importVcf(sites, pedigree, {}, samples).status, 0);
    EXPECT_FALSE(fs::exists(folder / "chr1" / "tdtsex.tsv"));
    const RunResult run = runProgram(folder / "chrX", {"--table", "results.tsv"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream table(read("chrX/results.tsv"));
    std::string line;
    std::getline(table, line);
    for (int m = 0; m < markers; ++m) {
        ASSERT_TRUE(std::getline(table, line));
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, '\t');) cells.push_back(cell);
        SCOPED_TRACE(line);
        const double b = bc[static_cast<std::size_t>(m)][0], c = bc[static_cast<std::size_t>(m)][1];
        EXPECT_EQ(cells[1], std::to_string(m + 1));  // first_locus
        EXPECT_EQ(cells[3], "X");                    // chromosome
        EXPECT_EQ(cells[8], std::to_string(trios));  // families: the mothers used
        EXPECT_EQ(std::stod(cells[14]), b + c > 0 ? 2 * ((b - c) * (b - c) / (b + c)) : 0.0);  // stat_Pe
    }
}

// ---- Alleles ------------------------------------------------------------

TEST_F(ImportChoices, OnlyCarriedAllelesAreNumberedInFileOrder) {
    // C is carried only by a sample outside the pedigree, T by no one.
    const RunResult run = importVcf({{"1", 100, "m", "A", "C,G,T", "0/2 0/0 0/2 2/2 0/2 2/2 0/0 0/0 0/0 1/1"}},
                                    triosPedigree, {}, trioSamples + " X1");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read("tdtloci.tsv"), "locus\tchromosome\tposition\tmarker\talleles\n1\t1\t100\tm\tA,G\n");
    EXPECT_EQ(lineOf(read("tdtinput.dat"), 4), "2");
    EXPECT_EQ(records(read("tdtinput.dat")),
              (std::vector<std::string>{"1 2", "1 1", "1 2", "2 2", "1 2", "2 2", "1 1", "1 1", "1 1"}));
    EXPECT_TRUE(
        has("tdtimport.log", "Alleles carried by no one imported, left out of the numbering (1):\n  m (1:100): C,T\n"));
}

TEST_F(ImportChoices, AllelesBeyondTheTwoHundredFiftyFifthKeepTheirLabels) {
    // 299 ALT alleles; the trios carry REF and ALT 43, 255 and 299, which are
    // alleles 1, 44, 256 and 300 of the file.
    std::string alt;
    for (int a = 1; a <= 299; ++a) {
        std::string label = "C";
        for (int digit = 0, rest = a; digit < 5; ++digit, rest /= 4) label += "ACGT"[rest % 4];
        alt += (a == 1 ? "" : ",") + label;
    }
    const auto label = [&](int a) { return alt.substr(static_cast<std::size_t>(a - 1) * 7, 6); };
    const RunResult run = importVcf({{"1", 100, "m", "A", alt, "0/299 0/0 299/0 255/43 0/0 43/0 0/0 0/0 0/0"},
                                     {"1", 200, "n", "A", "G", "0/1 0/0 1/0 0/0 0/0 0/0 0/0 0/0 0/0"}});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read("tdtloci.tsv"), "locus\tchromosome\tposition\tmarker\talleles\n1\t1\t100\tm\tA," + label(43) + "," +
                                       label(255) + "," + label(299) + "\n2\t1\t200\tn\tA,G\n");
    EXPECT_EQ(read("tdtinput.dat"),
              "3\n10\n2\n4 2\n1 4 1 2\n1 1 1 1\n4 1 2 1\n3 2 1 1\n1 1 1 1\n2 1 1 1\n1 1 1 1\n1 1 1 "
              "1\n1 1 1 1\n");
}

// ---- Missing genotypes and Mendelian errors ----------------------------

// Trio B's father is missing at m1; trio A's child cannot come from its
// parents at m2 (G/G x G/G -> T/T).
const std::vector<Site> flawedSites = {{"1", 100, "m1", "A", "C", "0/1 0/0 0/1 ./. 0/1 1/1 0/0 0/0 0/0"},
                                       {"1", 200, "m2", "G", "T", "0/0 0/0 1/1 0/1 0/1 0/1 1/1 0/1 0/1"},
                                       {"1", 300, "m3", "C", "G", "0/1 0/0 0/0 0/1 0/0 0/0 0/1 0/0 0/0"}};

const std::vector<std::string> flawedRecords = {
    "1 2 1 1 1 2", "1 1 1 1 1 1", "1 2 0 0 1 1",  // A: the child's m2 written missing
    "0 0 1 2 1 2", "1 2 1 2 1 1", "2 2 1 2 1 1",  // B: the father's m1 missing
    "1 1 2 2 1 2", "1 1 1 2 1 1", "1 1 1 2 1 1"};

TEST_F(ImportChoices, MissingGenotypesAndMendelianErrorsAreWrittenMissingInEveryTrio) {
    const RunResult run = importVcf(flawedSites);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(lineOf(read("tdtinput.dat"), 1), "3");
    EXPECT_EQ(records(read("tdtinput.dat")), flawedRecords);
    EXPECT_NE(run.out.find("Genotypes: 27 written, 2 of them missing (0 0); 1 Mendelian error, the child's genotype "
                           "written 0 0 there.\n"),
              std::string::npos)
        << run.out;
    EXPECT_TRUE(has("tdtimport.log",
                    "Mendelian errors, the child's genotype written 0 0 (1):\n  family A, child AC, "
                    "marker m2 (1:200): father G/G, mother G/G, child T/T\n"));

    // The same genotypes from a PLINK .ped give the same records.
    fs::create_directories(folder / "plink");
    writeFile(folder / "plink/in.map", "1 m1 0 100\n1 m2 0 200\n1 m3 0 300\n");
    const std::vector<std::string> ped = {"A C G G C G", "A A G G C C", "A C T T C C", "0 0 G T C G", "A C G T C C",
                                          "C C G T C C", "A A T T C G", "A A G T C C", "A A G T C C"};
    std::string pedText;
    std::istringstream pedigree(triosPedigree);
    for (const std::string& genotypes : ped) {
        std::string line;
        std::getline(pedigree, line);
        pedText += line + " " + genotypes + "\n";
    }
    writeFile(folder / "plink/in.ped", pedText);
    ASSERT_EQ(runProgram(folder / "plink", {"import", "--ped", "in.ped", "--map", "in.map"}).status, 0);
    EXPECT_EQ(records(readFile(folder / "plink/tdtinput.dat")), flawedRecords);
}

TEST_F(ImportChoices, DropTriosAndDropMarkersKeepTheOldRules) {
    const RunResult trios = importVcf(flawedSites, triosPedigree, {"--drop-trios"});
    ASSERT_EQ(trios.status, 0) << trios.err;
    EXPECT_NE(trios.out.find("Trios: 3 found; 1 kept, 1 left out for missing data, 1 left out for Mendelian errors."),
              std::string::npos)
        << trios.out;
    // Trio C alone carries only A at m1.
    EXPECT_EQ(lineOf(read("tdtinput.dat"), 4), "1 2 2");
    EXPECT_EQ(records(read("tdtinput.dat")), (std::vector<std::string>{"1 1 2 2 1 2", "1 1 1 2 1 1", "1 1 1 2 1 1"}));

    fs::create_directories(folder / "markers");
    const RunResult markers =
        runProgram(folder / "markers", {"import", "--vcf", "../in.vcf", "--pedigree", "../in.fam", "--drop-markers"});
    ASSERT_EQ(markers.status, 0) << markers.err;
    EXPECT_EQ(readFile(folder / "markers/tdtloci.tsv"),
              "locus\tchromosome\tposition\tmarker\talleles\n1\t1\t300\tm3\tC,G\n");
    EXPECT_EQ(lineOf(readFile(folder / "markers/tdtinput.dat"), 1), "3");
}

TEST_F(ImportChoices, MaxMissingLeavesOutMarkersAboveTheRate) {
    // m1 misses 1 of the 9 members' genotypes.
    const RunResult strict = importVcf(flawedSites, triosPedigree, {"--max-missing", "0.1"});
    ASSERT_EQ(strict.status, 0) << strict.err;
    EXPECT_EQ(lineOf(read("tdtinput.dat"), 3), "2");
    EXPECT_NE(strict.out.find("0 left out for Mendelian errors, 1 left out by --max-missing;"), std::string::npos)
        << strict.out;
    EXPECT_TRUE(has("tdtimport.log", "Markers left out by --max-missing (1):\n  m1 (1:100): 0.1111 missing\n"));

    fs::create_directories(folder / "loose");
    const RunResult loose = runProgram(
        folder / "loose", {"import", "--vcf", "../in.vcf", "--pedigree", "../in.fam", "--max-missing", "0.12"});
    ASSERT_EQ(loose.status, 0) << loose.err;
    EXPECT_EQ(lineOf(readFile(folder / "loose/tdtinput.dat"), 3), "3");
}

}  // namespace
}  // namespace triotdt::test
