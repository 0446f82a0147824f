// The readers of `triotdt import` on files shaped like real ones: cut short,
// haploid calls, chromosome names with and without "chr", pedigree headers,
// byte-order marks and loops, 3-column maps, other missing-allele codes, and
// the usage messages of the command.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "import/vcf_files.h"
#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt::test {
namespace {

namespace fs = std::filesystem;

const fs::path data = TRIOTDT_IMPORT_DATA;

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The marker names of a tdtloci.tsv, in locus order, each followed by a blank.
std::string markerNames(const std::string& loci) {
    std::string markers;
    for (std::size_t line = loci.find('\n'); line + 1 < loci.size(); line = loci.find('\n', line + 1)) {
        const std::size_t third = loci.find('\t', loci.find('\t', loci.find('\t', line) + 1) + 1);
        markers += loci.substr(third + 1, loci.find('\t', third + 1) - third - 1) + " ";
    }
    return markers;
}

class ImportReaders : public ::testing::Test {
protected:
    ScratchFolder scratch;
    fs::path folder = scratch.path();
    std::string vcf = readFile(data / "trios.vcf");

    void SetUp() override { fs::copy_file(data / "trios_pedigree.fam", folder / "p.fam"); }

    // The files hold chromosomes 1 and 2; chromosome 1 alone is written in
    // the working folder, unless a region chooses.
    RunResult importVcf(const std::string& file, std::vector<std::string> more = {}) {
        std::vector<std::string> arguments{"import", "--vcf", file, "--pedigree", "p.fam"};
        arguments.insert(arguments.end(), more.begin(), more.end());
        if (std::find(more.begin(), more.end(), "--region") == more.end()) {
            arguments.insert(arguments.end(), {"--chromosome", "1"});
        }
        return runProgram(folder, arguments);
    }
    // Expects the run to fail with `message` and to leave no output behind.
    void expectRefused(const RunResult& run, const std::string& message) {
        EXPECT_EQ(run.status, 1) << message;
        EXPECT_NE(run.err.find("triotdt import: " + message), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(folder / "tdtinput.dat") || fs::exists(folder / "tdtimport.log")) << message;
    }
    // The output of a successful run, then the folder cleared for the next.
    std::string takeOutput(const RunResult& run, const char* name = "tdtinput.dat") {
        EXPECT_EQ(run.status, 0) << run.err;
        std::string text = readFile(folder / name);
        for (const char* output : {"tdtinput.dat", "tdtloci.tsv", "tdttrios.tsv", "tdtimport.log"})
            fs::remove(folder / output);
        return text;
    }
    std::string markersOf(const RunResult& run) { return markerNames(takeOutput(run, "tdtloci.tsv")); }
};

TEST_F(ImportReaders, FilesCutShortAreRefused) {
    // A text VCF cut inside a record, and one whose last record lost its
    // genotype columns.
    writeFile(folder / "cut.vcf", vcf.substr(0, vcf.find("\t0/0\t0/1", vcf.find("rs4"))));
    expectRefused(importVcf("cut.vcf"),
                  "cut.vcf: the last line has no line end, so the file is cut short inside a record (truncated)");
    writeFile(folder / "short.vcf", vcf.substr(0, vcf.find("\tGT", vcf.find("rs4"))) + "\n");
    expectRefused(importVcf("short.vcf"),
                  "short.vcf, record 4 (1:4000): the line ends before the FORMAT and sample "
                  "columns (the header names 16 samples)");

    // bgzip without its end-of-file block: whole, and cut after 2 of 7 blocks.
    const auto ends = writeBgzipRecordBlocks(vcf, folder / "whole.vcf.gz");
    ASSERT_EQ(ends.size(), 7u);
    const std::string gz = readFile(folder / "whole.vcf.gz");
    writeFile(folder / "noeof.vcf.gz", gz.substr(0, ends.back()));
    writeFile(folder / "two.vcf.gz", gz.substr(0, ends[1]));
    for (const char* file : {"noeof.vcf.gz", "two.vcf.gz"}) {
        expectRefused(importVcf(file), std::string(file) + ": has no end-of-file block, so the file is cut short");
    }

    writeIndexedBcf(data / "trios.vcf", folder / "whole.bcf");
    const std::string bcf = readFile(folder / "whole.bcf");
    writeFile(folder / "noeof.bcf", bcf.substr(0, bcf.size() - 28));
    expectRefused(importVcf("noeof.bcf"), "noeof.bcf: has no end-of-file block");
}

TEST_F(ImportReaders, HaploidCallsAreMissingGenotypesCountedInTheLog) {
    // F2M and F2C, of trio F2, called haploid at rs1.
    const std::size_t rs1 = vcf.find("rs1");
    std::string text = vcf;
    text.replace(text.find("0/0\t0/1\t0/1\t1/1", rs1), 11, "0/0\t1\t0\t1/1");
    writeFile(folder / "haploid.vcf", text);
    const RunResult run = importVcf("haploid.vcf", {"--drop-trios"});
    const std::string log = takeOutput(run, "tdtimport.log");
    EXPECT_NE(log.find("Haploid calls read as missing genotypes: 2, at 1 marker.\n"), std::string::npos) << log;
    EXPECT_NE(log.find("family F2, child F2C (father F2D, mother F2M): rs1 (missing for the mother and the child)"),
              std::string::npos)
        << log;
}

TEST_F(ImportReaders, RegionMatchesChrNamesBothWaysWithAndWithoutIndex) {
    const std::string chrVcf =
        replaced(replaced(replaced(vcf, "\n1\t", "\nchr1\t"), "\n2\t", "\nchr2\t"), "contig=<ID=", "contig=<ID=chr");
    writeFile(folder / "chr.vcf", chrVcf);
    writeIndexedVcfGz(folder / "chr.vcf", folder / "chr.vcf.gz");
    writeIndexedBcf(folder / "chr.vcf", folder / "chr.bcf");
    writeFile(folder / "plain.vcf", vcf);
    for (const char* file : {"chr.vcf", "chr.vcf.gz", "chr.bcf"}) {
        EXPECT_EQ(markersOf(importVcf(file, {"--region", "1:1500-4500"})), "rs2 rs3 rs4 ") << file;
        EXPECT_EQ(markersOf(importVcf(file, {"--region", "2"})), "rs6 ") << file;
        expectRefused(importVcf(file, {"--region", "9:1-100"}),
                      std::string("--region 9:1-100 selects no marker of ") + file +
                          ": it has no chromosome 9; its chromosomes are chr1, chr2");
        expectRefused(
            importVcf(file, {"--region", "chr1:6000-7000"}),
            std::string("--region chr1:6000-7000 selects no marker of ") + file + ": chromosome chr1 has none there");
    }
    EXPECT_EQ(markersOf(importVcf("plain.vcf", {"--region", "chr1:1500-2500"})), "rs2 ");
}

// Chromosome 1 named both chr1 and 1 (each name's records in a block, as an
// index needs; position 3000 under both) is one chromosome by every route:
// its loci in position order, analysed as they are.
TEST_F(ImportReaders, OneChromosomeUnderTwoNamesIsImportedAsOneByEveryRoute) {
    std::vector<std::string> records;
    for (std::size_t at = vcf.find("\n1\t"); at + 1 < vcf.size(); at = vcf.find('\n', at + 1))
        records.push_back(vcf.substr(at + 1, vcf.find('\n', at + 1) - at));
    const std::string header =
        replaced(vcf.substr(0, vcf.find("\n1\t") + 1), "##FORMAT", "##contig=<ID=chr1>\n##FORMAT");
    writeFile(folder / "mixed.vcf", header + "chr" + records[1] + "chr" +
                                        replaced(records[3], "4000\trs4", "3000\trs3b") + "chr" + records[3] +
                                        records[0] + records[2] + records[4] + records[5]);
    writeIndexedVcfGz(folder / "mixed.vcf", folder / "mixed.vcf.gz");
    writeIndexedBcf(folder / "mixed.vcf", folder / "mixed.bcf");
    writeFile(folder / "trios.bim",
              replaced(replaced(readFile(data / "trios.bim"), "1\trs2", "chr1\trs2"), "1\trs4", "chr1\trs4"));
    for (const char* name : {"trios.bed", "trios.fam"}) fs::copy_file(data / name, folder / name);

    const std::string all = "rs1 rs2 rs3 rs3b rs4 1:5000 ";
    const std::string vcfOf = "--pedigree=../p.fam", vcfIs = "--vcf=../mixed";
    const struct {
        std::vector<std::string> args;
        std::string runFolder, markers;
    } routes[] = {{{"import", vcfOf, vcfIs + ".vcf"}, "chr1", all},
                  {{"import", vcfOf, vcfIs + ".vcf", "--chromosome", "1"}, ".", all},
                  {{"import", vcfOf, vcfIs + ".vcf.gz", "--chromosome", "chr1"}, ".", all},
                  {{"import", vcfOf, vcfIs + ".bcf", "--region", "1"}, ".", all},
                  {{"import", vcfOf, vcfIs + ".vcf.gz", "--region", "chr1:1500-4500"}, ".", "rs2 rs3 rs3b rs4 "},
                  {{"import", "--bfile", "../trios"}, "chr1", "rs1 rs2 rs4 rs5 "}};
    int k = 0;
    for (const auto& route : routes) {
        const fs::path at = folder / std::to_string(++k);
        fs::create_directory(at);
        const RunResult run = runProgram(at, route.args);
        ASSERT_EQ(run.status, 0) << k << run.err;
        EXPECT_NE(run.out.find("Chromosome names: chr1 is read as 1 "), std::string::npos) << k << run.out;
        EXPECT_EQ(runProgram(at / route.runFolder).status, 0) << k;
        EXPECT_EQ(markerNames(readFile(at / route.runFolder / "tdtloci.tsv")), route.markers) << k;
    }
}

TEST_F(ImportReaders, PedigreeHeadersByteOrderMarksAndLoops) {
    writeFile(folder / "plain.vcf", vcf);
    const std::string plain = takeOutput(importVcf("plain.vcf"));
    const std::string pedigree = readFile(folder / "p.fam");
    writeFile(folder / "p.fam", "\xEF\xBB\xBF" + pedigree);
    EXPECT_EQ(takeOutput(importVcf("plain.vcf")), plain);
    writeFile(folder / "p.fam", "#FID IID PAT MAT SEX PHENO\n" + pedigree + "# the end\n");
    EXPECT_EQ(takeOutput(importVcf("plain.vcf")), plain);

    // F1D's father is his own grandson.
    writeFile(folder / "p.fam", replaced(pedigree, "F1 F1D 0 0", "F1 F1D F1C1 0"));
    expectRefused(importVcf("plain.vcf"),
                  "p.fam, line 1: family F1 loops: F1D is a parent of F1C1, who is a parent "
                  "of F1D; no one can be his or her own ancestor");
}

TEST_F(ImportReaders, PlinkThreeColumnMapAndOtherMissingCodes) {
    for (const char* name : {"trios.ped", "trios.map"}) fs::copy_file(data / name, folder / name);
    const std::string fourColumns =
        takeOutput(runProgram(folder, {"import", "--ped", "trios.ped", "--map", "trios.map", "--chromosome", "1"}));
    writeFile(folder / "three.map", replaced(readFile(data / "trios.map"), " 0 ", " "));
    writeFile(folder / "n.ped", replaced(readFile(data / "trios.ped"), "A G 0 0 T T", "A G N N T T"));
    const std::vector<std::string> nPed{"import", "--ped", "n.ped", "--map", "three.map", "--chromosome", "1"};
    std::vector<std::string> nMissing = nPed;
    nMissing.insert(nMissing.end(), {"--missing-genotype", "N"});
    const RunResult missing = runProgram(folder, nMissing);
    const std::string missingLog = readFile(folder / "tdtimport.log");
    EXPECT_EQ(takeOutput(missing), fourColumns);
    // Without the option, "N" is an allele like any other: the child's N/N
    // is then one more Mendelian error, not a missing genotype.
    const std::string log = takeOutput(runProgram(folder, nPed), "tdtimport.log");
    EXPECT_NE(log.find("2 Mendelian errors, the child's genotype written 0 0 there"), std::string::npos) << log;
    EXPECT_NE(missingLog.find("1 Mendelian error, the child's genotype written 0 0 there"), std::string::npos)
        << missingLog;
}

TEST_F(ImportReaders, PlinkTextLocusOfMoreThan255AllelesKeepsThemApart) {
    // 128 people outside any trio bring alleles a0 to a255 (numbers 1 to 256);
    // the trio's x1, x2 and x3 are alleles 257 to 259 of the locus.
    std::string ped;
    for (int p = 0; p < 128; ++p) {
        ped += "U U" + std::to_string(p) + " 0 0 1 1 a" + std::to_string(2 * p) + " a" + std::to_string(2 * p + 1) +
               " A A\n";
    }
    ped += "T D 0 0 1 1 x1 x2 A A\nT M 0 0 2 1 x3 a0 A G\nT C D M 1 2 x1 x3 A G\n";
    writeFile(folder / "wide.ped", ped);
    writeFile(folder / "wide.map", "1 m 0 100\n1 n 0 200\n");
    const RunResult run = runProgram(folder, {"import", "--ped", "wide.ped", "--map", "wide.map", "--replicates", "5"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(readFile(folder / "tdtloci.tsv"),
              "locus\tchromosome\tposition\tmarker\talleles\n1\t1\t100\tm\ta0,x1,x2,x3\n2\t1\t200\tn\tA,G\n");
    EXPECT_EQ(takeOutput(run), "1\n5\n2\n4 2\n2 3 1 1\n4 1 1 2\n2 4 1 2\n");
}

TEST_F(ImportReaders, VcfWithoutGenotypeFieldInTheHeaderIsReadWithAWarning) {
    writeFile(folder / "plain.vcf", vcf);
    const std::string plain = takeOutput(importVcf("plain.vcf"));
    writeFile(folder / "nogt.vcf",
              replaced(vcf, "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n", ""));
    const RunResult run = importVcf("nogt.vcf");
    EXPECT_EQ(run.err,
              "triotdt import: warning: nogt.vcf: its header has no ##FORMAT=<ID=GT> line; GT is read as "
              "the genotype all the same\n");
    EXPECT_EQ(takeOutput(run), plain);
}

TEST_F(ImportReaders, UsageMessagesSayWhatIsWanted) {
    writeFile(folder / "plain.vcf", vcf);
    for (const RunResult& late : {runProgram(folder, {"import", "-C", "out"}), importVcf("plain.vcf", {"-C", "out"})}) {
        EXPECT_EQ(late.status, 2);
        EXPECT_EQ(late.err,
                  "triotdt: -C goes before 'import': triotdt -C DIR import [OPTIONS]\n"
                  "Run 'triotdt import --help' for the options.\n");
    }
    EXPECT_NE(
        runProgram(folder, {"import", "--help"}).out.find("General options stand before 'import': triotdt -C DIR"),
        std::string::npos);
    const RunResult extra = importVcf("plain.vcf", {"x", "y"});
    EXPECT_EQ(extra.status, 2);
    EXPECT_NE(extra.err.find("not expected: x y\n"), std::string::npos) << extra.err;
    const RunResult replicates = importVcf("plain.vcf", {"--replicates", "1e3"});
    EXPECT_EQ(replicates.status, 2);
    EXPECT_NE(replicates.err.find("--replicates: '1e3' is not a whole number"), std::string::npos) << replicates.err;

    for (const char* name : {"trios.bed", "trios.bim", "trios.fam"}) fs::copy_file(data / name, folder / name);
    const std::string byPrefix = takeOutput(runProgram(folder, {"import", "--bfile", "trios", "--chromosome", "1"}));
    const RunResult byFile = runProgram(folder, {"import", "--bfile", "trios.bed", "--chromosome", "1"});
    EXPECT_EQ(byFile.err,
              "triotdt import: note: --bfile takes the prefix of the .bed, .bim and .fam files; reading "
              "trios.bed, trios.bim and trios.fam\n");
    EXPECT_EQ(takeOutput(byFile), byPrefix);
}

}  // namespace
}  // namespace triotdt::test
