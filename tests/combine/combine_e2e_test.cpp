// `triotdt combine` of chromosome folders imported from one VCF: the genome
// table holds every run's rows with genome-wide family-wise p-values never
// below their chromosome's, the planted signal stays significant, and runs
// that do not belong together are refused, naming the folder, writing nothing.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "output/results_table.h"
#include "support/program_run.h"
#include "support/random_trios.h"
#include "support/test_support.h"

namespace triotdt {
namespace {

namespace fs = std::filesystem;

// 40 trios at 8 SNPs on each of chromosomes 1 and 2; at SNP 5 of chromosome
// 2 every heterozygous parent transmits the ALT allele.
// With `missingOnTwo`, child C1's call at the first SNP of chromosome 2 is missing.
std::string twoChromosomes(bool missingOnTwo = false) {
    test::SmallRandom random{5};
    std::string vcf =
        "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
        "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    for (int t = 1; t <= 40; ++t)
        vcf += "\tF" + std::to_string(t) + "\tM" + std::to_string(t) + "\tC" + std::to_string(t);
    vcf += "\n";
    for (int c = 1; c <= 2; ++c) {
        for (int m = 1; m <= 8; ++m) {
            vcf += std::to_string(c) + "\t" + std::to_string(1000 * m) + "\trs" + std::to_string(c) + "_" +
                   std::to_string(m) + "\tA\tG\t.\tPASS\t.\tGT";
            for (int t = 1; t <= 40; ++t) {
                const int f[2] = {random.below(2), random.below(2)}, mo[2] = {random.below(2), random.below(2)};
                const bool signal = c == 2 && m == 5;
                const auto pass = [&](const int* p) { return signal && p[0] != p[1] ? 1 : p[random.below(2)]; };
                const int fromFather = pass(f), fromMother = pass(mo);
                const bool missing = missingOnTwo && c == 2 && m == 1 && t == 1;
                vcf += "\t" + std::to_string(f[0]) + "/" + std::to_string(f[1]) + "\t" + std::to_string(mo[0]) + "/" +
                       std::to_string(mo[1]) + "\t" +
                       (missing ? "./." : std::to_string(fromFather) + "/" + std::to_string(fromMother));
            }
            vcf += "\n";
        }
    }
    return vcf;
}

std::string pedigree() {
    std::string text;
    for (int t = 1; t <= 40; ++t) {
        const std::string n = std::to_string(t);
        text += "T" + n + " F" + n + " 0 0 1 1\nT" + n + " M" + n + " 0 0 2 1\nT" + n + " C" + n + " F" + n + " M" + n +
                " 1 2\n";
    }
    return text;
}

class Combine : public testing::Test {
protected:
    void SetUp() override {
        test::writeFile(folder / "g.vcf", twoChromosomes());
        test::writeFile(folder / "g.fam", pedigree());
        const test::RunResult imported =
            run(folder.path(), {"import", "--vcf", "g.vcf", "--pedigree", "g.fam", "--replicates", "100"});
        ASSERT_TRUE(folder.has("chr1/tdttrios.tsv") && folder.has("chr2/tdttrios.tsv")) << imported.out;
    }
    test::RunResult run(const fs::path& where, const std::vector<std::string>& args) const {
        test::RunResult result = test::runProgram(where, args);
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    }
    // A copy of chromosome `from`'s imported folder, as `name`, run with `options`.
    void runCopy(const std::string& from, const std::string& name, std::vector<std::string> options) const {
        fs::create_directory(folder / name);
        for (const char* file : {"tdtinput.dat", "tdtloci.tsv", "tdttrios.tsv"}) {
            if (fs::exists(folder / from / file)) fs::copy_file(folder / from / file, folder / name / file);
        }
        options.insert(options.end(), {"--table", "results.tsv"});
        run(folder / name, options);
    }
    std::vector<std::string> lines(const std::string& name) const {
        std::istringstream text(folder.read(name));
        std::vector<std::string> all;
        for (std::string line; std::getline(text, line);) all.push_back(line);
        return all;
    }
    test::ScratchFolder folder;
};

TEST_F(Combine, TheGenomeWidePValuesAreNeverBelowTheChromosomesAndFindTheSignal) {
    for (const char* chromosome : {"chr1", "chr2"}) {
        run(folder / chromosome, {"--family-wise", "--table", "results.tsv"});
    }
    const test::RunResult combined =
        run(folder.path(), {"combine", "chr2", "chr1", "--table", "genome.tsv", "--plot", "genome.svg"});
    EXPECT_NE(combined.out.find("Combined 2 runs: 1 (35 windows, 'chr1'), 2 (35 windows, 'chr2').\n"),
              std::string::npos)
        << combined.out;
    const std::size_t pe = combined.out.find("\nPe: ");
    EXPECT_NE(combined.out.substr(pe, combined.out.find('\n', pe + 1) - pe).find(" 2:5-5 0"), std::string::npos);
    const std::string svg = folder.read("genome.svg");
    EXPECT_TRUE(svg.ends_with("</svg>\n"));
    EXPECT_NE(svg.find("class=\"genome-wide\""), std::string::npos);
    EXPECT_NE(svg.find(">chromosome</text>"), std::string::npos);
#ifdef RSVG_CONVERT  // rendered where a renderer is installed
    const std::string render =
        RSVG_CONVERT " -o '" + (folder / "genome.png").string() + "' '" + (folder / "genome.svg").string() + "'";
    EXPECT_EQ(std::system(render.c_str()), 0);
    EXPECT_GT(fs::file_size(folder / "genome.png"), 10000u);
#endif

    // Chromosome 1 first: each run's rows, with the genome-wide columns.
    const std::vector<std::string> genome = lines("genome.tsv"), one = lines("chr1/results.tsv"),
                                   two = lines("chr2/results.tsv");
    ASSERT_EQ(genome.size(), one.size() + two.size() - 1);
    EXPECT_EQ(genome[0],
              one[0] + "\tgenome_fwer_Punamb\tgenome_fwer_Pg\tgenome_fwer_Pe\tgenome_fwer_Pc\tgenome_fwer_Pem");
    std::size_t significant = 0;
    for (std::size_t i = 1; i < genome.size(); ++i) {
        const std::string& run = i < one.size() ? one[i] : two[i - one.size() + 1];
        ASSERT_EQ(genome[i].substr(0, run.size() + 1), run + "\t");
        const window::WindowResult w = output::parseTableRow(run, "run");
        std::istringstream wide(genome[i].substr(run.size() + 1));
        for (std::size_t s = 0; s < statistics::statisticCount; ++s) {
            double p = 0;
            wide >> p;
            EXPECT_GE(p, (*w.familyWisePValues)[s]) << genome[i];
            significant += p <= 0.05;
        }
    }
    EXPECT_GT(significant, 0u);
}

// Each case: what is run besides chr1 (run with --family-wise), the folders
// given, and what the refusal says.
TEST_F(Combine, RunsThatDoNotBelongTogetherAreRefusedAndNothingIsWritten) {
    run(folder / "chr1", {"--family-wise", "--table", "results.tsv"});
    runCopy("chr2", "seed2", {"--family-wise", "--seed", "2"});
    runCopy("chr2", "plain", {});
    runCopy("chr1", "again", {"--family-wise"});
    std::string others = "family\tchild\tfather\tmother\n";
    for (int t = 1; t <= 40; ++t) others += "S" + std::to_string(t) + "\tc\tf\tm\n";
    test::writeFile(folder / "chr2" / "tdttrios.tsv", others);
    runCopy("chr2", "others", {"--family-wise"});
    fs::create_directory(folder / "empty");
    struct Case {
        std::vector<std::string> folders;
        std::string says;
    };
    const Case cases[] = {
        {{"chr1", "seed2"},
         "'seed2' was run with --family-wise --seed 2 and 100 replicates, 'chr1' with --family-wise --seed 1 and 100 "
         "replicates: the runs of a genome must share the stream, the seed and the options"},
        {{"chr1", "plain"}, "'plain' has no tdtfamilywise.tsv, while 'chr1' has"},
        {{"chr1", "again"}, "'chr1' and 'again' are both of chromosome 1"},
        {{"chr1", "chr1/"}, "'chr1/' is given twice"},
        {{"chr1", "others"}, "'others' and 'chr1' share no trio: their trio lists are not of one pedigree"},
        {{"empty", "chr1"}, "'empty' has no tdtinput.dat: it is not the folder of a run"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"combine", "--table", "genome.tsv", "--plot", "genome.svg"};
        args.insert(args.end(), c.folders.begin(), c.folders.end());
        const test::RunResult refused = test::runProgram(folder.path(), args);
        EXPECT_EQ(refused.status, 1) << c.says;
        EXPECT_NE(refused.err.find("triotdt combine: " + c.says), std::string::npos) << refused.err;
        EXPECT_TRUE(refused.err.ends_with("; nothing was written\n")) << refused.err;
        EXPECT_FALSE(folder.has("genome.tsv") || folder.has("genome.svg")) << c.says;
    }
}

// A chromosome's folder may leave trios out (here --drop-trios, on X the
// children of unknown sex): runs of one pedigree's trios go together, and
// the console says whose lists differ.
TEST_F(Combine, RunsWithTriosLeftOutOfAChromosomeGoTogether) {
    const test::ScratchFolder dropped;
    test::writeFile(dropped / "g.vcf", twoChromosomes(true));
    test::writeFile(dropped / "g.fam", pedigree());
    run(dropped.path(), {"import", "--vcf", "g.vcf", "--pedigree", "g.fam", "--replicates", "100", "--drop-trios"});
    for (const char* chromosome : {"chr1", "chr2"}) run(dropped / chromosome, {"--family-wise"});
    const test::RunResult combined = run(dropped.path(), {"combine", "chr1", "chr2", "--table", "genome.tsv"});
    EXPECT_NE(combined.out.find("Trio lists: 'chr1' has 40 trios, 'chr2' 39 (of one pedigree): "), std::string::npos)
        << combined.out;
    EXPECT_TRUE(dropped.has("genome.tsv"));
}

// Runs without --family-wise are gathered from their tables; a run without
// tdttrios.tsv beside its input cannot be checked, and the console says so.
TEST_F(Combine, GathersPlainRunsAndSaysWhatItCannotCheck) {
    for (const char* chromosome : {"chr1", "chr2"}) run(folder / chromosome, {"--table", "results.tsv"});
    const test::RunResult plain = run(folder.path(), {"combine", "chr1", "chr2", "--table", "genome.tsv"});
    const std::vector<std::string> genome = lines("genome.tsv"), one = lines("chr1/results.tsv");
    EXPECT_EQ(genome.size(), 2 * one.size() - 1);
    EXPECT_EQ(genome[0], one[0]);
    EXPECT_EQ(plain.out, "Combined 2 runs: 1 (35 windows, 'chr1'), 2 (35 windows, 'chr2').\n");

    fs::remove(folder / "chr2" / "tdttrios.tsv");
    runCopy("chr2", "handwritten", {"--family-wise"});
    runCopy("chr1", "first", {"--family-wise"});
    const test::RunResult unchecked = run(folder.path(), {"combine", "first", "handwritten"});
    EXPECT_NE(unchecked.out.find("Trio lists: 'handwritten' has no tdttrios.tsv beside the input"), std::string::npos)
        << unchecked.out;
}

}  // namespace
}  // namespace triotdt
