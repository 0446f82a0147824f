// The built program, run as a user would: `triotdt import` on small files in
// every format, then the analysis of what it wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <sstream>

#include "import/vcf_files.h"
#include "io/text_reader.h"
#include "output/loci_table.h"
#include "support/program_run.h"
#include "support/test_support.h"

namespace triotdt::test {
namespace {

namespace fs = std::filesystem;

const fs::path data = TRIOTDT_IMPORT_DATA;
const fs::path expected = TRIOTDT_IMPORT_EXPECTED;
const std::vector<std::string> vcfInput = {"import", "--vcf", "trios.vcf", "--pedigree", "trios_pedigree.fam"};

std::vector<std::string> with(std::vector<std::string> arguments, std::initializer_list<std::string> more) {
    arguments.insert(arguments.end(), more);
    return arguments;
}

// Every value of a tdtinput.dat as the analysis reads it (header counts,
// allele counts, then each record), so that comments do not count.
std::vector<std::int32_t> inputValues(const fs::path& path) {
    auto reader = io::TextReader::fromText(readFile(path), path.string());
    std::vector<std::int32_t> values;
    for (const char* count : {"families", "replicates", "loci"}) reader.readIntegers(1, count, values);
    const std::int32_t families = values[0], loci = values[2];
    reader.readIntegers(loci, "allele counts", values);
    for (std::int32_t record = 0; record < 3 * families; ++record) reader.readIntegers(2 * loci, "record", values);
    return values;
}

bool anyOutput(const fs::path& folder) {
    return fs::exists(folder / "tdtinput.dat") || fs::exists(folder / "tdtloci.tsv") ||
           fs::exists(folder / "tdttrios.tsv") || fs::exists(folder / "tdtimport.log");
}

class ImportProgram : public ::testing::Test {
protected:
    const ScratchFolder scratch;
    const fs::path folder = scratch.path();

    void copyData(std::initializer_list<const char*> names) {
        for (const char* name : names) fs::copy_file(data / name, folder / name);
    }
    void copyVcf() { copyData({"trios.vcf", "trios_pedigree.fam"}); }

    RunResult import(const std::vector<std::string>& arguments) { return runProgram(folder, arguments); }

    // Analyses the tdtinput.dat of `runFolder` and a copy of `handWritten` in a
    // folder of its own, and expects the same reports and console.
    void expectSameAnalysisAs(const fs::path& handWritten, const fs::path& runFolder) {
        const fs::path other = folder / "hand-written";
        fs::create_directories(other);
        fs::copy_file(handWritten, other / "tdtinput.dat");
        const RunResult imported = runProgram(runFolder, {});
        const RunResult written = runProgram(other, {});
        ASSERT_EQ(imported.status, 0) << imported.err;
        ASSERT_EQ(written.status, 0) << written.err;
        EXPECT_EQ(imported.out, written.out);
        for (const char* report : {"tdttran.txt", "tdtout.txt"}) {
            EXPECT_EQ(readFile(runFolder / report), readFile(other / report)) << report;
        }
        EXPECT_EQ(inputValues(runFolder / "tdtinput.dat"), inputValues(handWritten));
    }
};

TEST_F(ImportProgram, VcfImportAnalysesLikeTheHandWrittenInput) {
    copyVcf();
    const RunResult run = import(with(vcfInput, {"--drop-trios", "--chromosome", "1"}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(readFile(folder / "tdtloci.tsv"), readFile(expected / "vcf_tdtloci.tsv"));
    EXPECT_EQ(readFile(folder / "tdttrios.tsv"), readFile(expected / "vcf_tdttrios.tsv"));
    // The log starts with the summary, then says what was left out and why.
    const std::string log = readFile(folder / "tdtimport.log");
    EXPECT_EQ(log, readFile(expected / "vcf_tdtimport.log"));
    EXPECT_NE(log.find(run.out), std::string::npos);
    expectSameAnalysisAs(expected / "vcf_tdtinput.dat", folder);
}

TEST_F(ImportProgram, PlinkTextAndBinaryGiveTheSameInput) {
    copyData({"trios.ped", "trios.map", "trios.bed", "trios.bim", "trios.fam"});
    const fs::path binary = folder / "binary";
    fs::create_directories(binary);
    const RunResult text =
        import({"import", "--ped", "trios.ped", "--map", "trios.map", "--replicates", "50", "--drop-trios"});
    const RunResult bed = runProgram(binary, {"import", "--bfile", "../trios", "--replicates", "50", "--drop-trios"});
    ASSERT_EQ(text.status, 0) << text.err;
    ASSERT_EQ(bed.status, 0) << bed.err;
    for (const char* file : {"chr1/tdtinput.dat", "chr1/tdtloci.tsv", "chr2/tdtinput.dat", "chr2/tdtloci.tsv"}) {
        EXPECT_EQ(readFile(folder / file), readFile(binary / file)) << file;
    }
    const auto rows = output::readLociTable((binary / "chr1" / "tdtloci.tsv").string());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[3], (output::LocusRow{4, "1", 5000, "rs5", {"A"}}));  // a .bim allele "0" is no allele
    // Everyone of a PLINK file is genotyped; F4C's mother is not in it.
    EXPECT_NE(text.out.find("1 child forms no trio.\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Chromosome 1, in chr1/:\n  Trios: 5 found; 3 kept, 1 left out for missing data, 1 left "
                            "out for Mendelian errors."),
              std::string::npos)
        << text.out;
    EXPECT_NE(readFile(folder / "tdtimport.log").find("family F4, child F4C: mother F4M is not in the pedigree"),
              std::string::npos);
    expectSameAnalysisAs(expected / "plink_tdtinput.dat", folder / "chr1");
}

TEST_F(ImportProgram, RegionIsReadThroughTheIndexOfCompressedVcfAndBcf) {
    copyVcf();
    writeIndexedVcfGz(folder / "trios.vcf", folder / "trios.vcf.gz");
    writeIndexedBcf(folder / "trios.vcf", folder / "trios.bcf");
    std::string first;
    for (const char* file : {"trios.vcf", "trios.vcf.gz", "trios.bcf"}) {
        const fs::path run = folder / (std::string("run-") + file);
        fs::create_directories(run);
        const RunResult result = runProgram(run, {"import", "--vcf", std::string("../") + file, "--pedigree",
                                                  "../trios_pedigree.fam", "--region", "1:1500-4500"});
        ASSERT_EQ(result.status, 0) << file << ": " << result.err;
        std::vector<std::string> markers;
        for (const auto& row : output::readLociTable((run / "tdtloci.tsv").string())) markers.push_back(row.marker);
        EXPECT_EQ(markers, (std::vector<std::string>{"rs2", "rs3", "rs4"})) << file;
        const std::string input = readFile(run / "tdtinput.dat");
        if (first.empty()) first = input;
        EXPECT_EQ(input, first) << file;
    }

    // A broken record (a sample short) outside the region stops a whole-file
    // read, but not a read through the index.
    std::string text = readFile(folder / "trios.vcf");
    text.replace(text.rfind("\t0/0\n"), 5, "\n");
    writeFile(folder / "broken.vcf", text);
    writeIndexedVcfGz(folder / "broken.vcf", folder / "broken.vcf.gz");
    EXPECT_EQ(
        import({"import", "--vcf", "broken.vcf.gz", "--pedigree", "trios_pedigree.fam", "--region", "1:1-5000"}).status,
        0);
    for (const char* name : {"tdtinput.dat", "tdtloci.tsv", "tdttrios.tsv", "tdtimport.log"}) fs::remove(folder / name);
    const RunResult whole =
        import({"import", "--vcf", "broken.vcf", "--pedigree", "trios_pedigree.fam", "--region", "1:1-5000"});
    EXPECT_EQ(whole.status, 1);
    EXPECT_NE(whole.err.find("broken.vcf: the record after record 5 (1:5000) cannot be read"), std::string::npos)
        << whole.err;
}

TEST_F(ImportProgram, DropMarkersKeepsEveryTrioAndAMarkerListOnlySelects) {
    copyVcf();
    writeFile(folder / "markers.txt", "rs6\nrs4\n\nrs1\n");
    const RunResult run = import(with(vcfInput, {"--drop-markers", "--markers", "markers.txt"}));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Chromosome 1, in chr1/:\n  Trios: 5 found; 5 kept, 0 left out for missing data, 0 "
                           "left out for Mendelian errors.\n  Markers: 2 selected; 1 kept, 0 left out for missing "
                           "data, 1 left out for Mendelian errors; 0 of those kept monomorphic.\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(readFile(folder / "chr1/tdtloci.tsv"),
              "locus\tchromosome\tposition\tmarker\talleles\n1\t1\t1000\trs1\tA,G\n");
    EXPECT_EQ(readFile(folder / "chr2/tdtloci.tsv"),
              "locus\tchromosome\tposition\tmarker\talleles\n1\t2\t100\trs6\tG,C\n");
    EXPECT_NE(readFile(folder / "chr1/tdtimport.log")
                  .find("Markers left out for Mendelian errors (1):\n  rs4 (1:4000): family F3, child F3C (father "
                        "T/T, mother T/T, child T/C)\n"),
              std::string::npos);
    EXPECT_EQ(inputValues(folder / "chr1/tdtinput.dat").size(), 3u + 1u + 5u * 3u * 2u);
}

TEST_F(ImportProgram, NothingLeftToAnalyseWritesOnlyTheLog) {
    copyVcf();
    writeFile(folder / "markers.txt", "rs2\nrs4\n");
    const RunResult run = import(with(vcfInput, {"--drop-markers", "--markers", "markers.txt"}));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("nothing is left to analyse"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "tdtinput.dat"));
    EXPECT_FALSE(fs::exists(folder / "tdtloci.tsv"));
    EXPECT_NE(readFile(folder / "tdtimport.log").find("Output: only tdtimport.log: no marker is left to analyse."),
              std::string::npos);
}

TEST_F(ImportProgram, AnExistingOutputFileIsNeverOverwritten) {
    copyVcf();
    writeFile(folder / "tdtloci.tsv", "an earlier import's\n");
    const RunResult run = import(vcfInput);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              "triotdt import: tdtloci.tsv already exists; move or delete it first (the import never overwrites)\n");
    EXPECT_EQ(readFile(folder / "tdtloci.tsv"), "an earlier import's\n");
    EXPECT_FALSE(fs::exists(folder / "tdtinput.dat"));
    EXPECT_FALSE(fs::exists(folder / "tdtimport.log"));
}

TEST_F(ImportProgram, AFailedWriteRemovesEveryFileItCreated) {
    copyVcf();
    // tdtinput.dat and tdtloci.tsv fit in 1000 bytes, tdtimport.log does not.
    const RunResult run = runProgram(folder, vcfInput, withFileSizeLimit(1000));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("triotdt import: WRITE of file 'chr1/tdtimport.log': the file could not be written "
                           "completely"),
              std::string::npos)
        << run.err;
    EXPECT_FALSE(anyOutput(folder));
    EXPECT_FALSE(fs::exists(folder / "chr1"));
    EXPECT_FALSE(fs::exists(folder / "chr2"));
}

// A signal that comes before the program can set its handler stops the
// import at its first record, with a message and no file.
TEST_F(ImportProgram, AnInterruptedImportSaysSoAndWritesNothing) {
    copyVcf();
    RunConditions early;
    early.signalPendingAtStart = SIGTERM;
    const RunResult run = runProgram(folder, vcfInput, early);
    EXPECT_EQ(run.status, 128 + SIGTERM);
    EXPECT_EQ(run.err, "triotdt import: interrupted by SIGTERM; none of its files was written\n");
    EXPECT_FALSE(anyOutput(folder));
}

TEST_F(ImportProgram, BadUsageEndsWithStatusTwo) {
    copyVcf();
    for (const auto& arguments :
         std::vector<std::vector<std::string>>{{"import"},
                                               {"import", "--vcf", "trios.vcf"},
                                               {"import", "--ped", "a.ped", "--map", "a.map", "--bfile", "trios"},
                                               with(vcfInput, {"--region", "1:20-10"}),
                                               with(vcfInput, {"--replicates", "0"}),
                                               with(vcfInput, {"--no-such-option"})}) {
        const RunResult run = import(arguments);
        EXPECT_EQ(run.status, 2) << arguments.size() << " " << arguments.back();
        EXPECT_NE(run.err, "");
        EXPECT_FALSE(anyOutput(folder));
    }
}

// A file that cannot be imported, and the message it must give.
struct BadFile {
    std::string name;
    std::string text;
    std::vector<std::string> arguments;
    std::string message;
};

TEST_F(ImportProgram, BadFilesGiveFileLineAndProblemAndLeaveNothing) {
    copyData({"trios.vcf", "trios_pedigree.fam", "trios.ped", "trios.map", "trios.bim", "trios.fam"});
    const std::string vcf = readFile(data / "trios.vcf");
    const std::string bed = readFile(data / "trios.bed");
    const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    const std::vector<BadFile> cases = {
        {"", "", {"import", "--vcf", "trios.vcf", "--pedigree", "none.fam"}, "none.fam: file not found"},
        {"a.vcf",
         replaced(vcf, "0|1", "0|5"),
         {"import", "--vcf", "a.vcf", "--pedigree", "trios_pedigree.fam"},
         "a.vcf, record 1 (1:1000): sample F1M has allele 5, but the record has only 2 alleles"},
        {"a.vcf",
         replaced(vcf, "0/2\t1/2", "0/2"),
         {"import", "--vcf", "a.vcf", "--pedigree", "trios_pedigree.fam"},
         "a.vcf: the record after record 2 (1:2000) cannot be read"},
        {"a.vcf",
         replaced(vcf, "1\t2000", "1\tx"),
         {"import", "--vcf", "a.vcf", "--pedigree", "trios_pedigree.fam"},
         "a.vcf, record 2 (1:0): POS is not a whole number of 1 or more"},
        {"a.vcf",
         "not a VCF\n",
         {"import", "--vcf", "a.vcf", "--pedigree", "trios_pedigree.fam"},
         "a.vcf: is neither a VCF nor a BCF file"},
        {"a.fam",
         "F1 F1D 0 0 1\n",
         {"import", "--vcf", "trios.vcf", "--pedigree", "a.fam"},
         "a.fam, line 1: 5 fields; a pedigree line has six: family, person, father, mother, sex, phenotype"},
        {"a.fam",
         "F1 A 0 0 1 1\n\nF1 B A A 1 1\n",
         {"import", "--vcf", "trios.vcf", "--pedigree", "a.fam"},
         "a.fam, line 3: person B has A as both father and mother"},
        {"a.fam",
         "F1 F1D 0 0 1 1\nF1 F1D 0 0 1 1\n",
         {"import", "--vcf", "trios.vcf", "--pedigree", "a.fam"},
         "a.fam, line 2: person F1D of family F1 is already on line 1"},
        {"a.fam",
         "F1 F1D 0 0 1 1\nF9 F1D 0 0 1 1\n",
         {"import", "--vcf", "trios.vcf", "--pedigree", "a.fam"},
         "a.fam, line 2: VCF sample F1D is also in family F1 (line 1); a sample must name one person"},
        {"a.ped",
         replaced(readFile(data / "trios.ped"), "A A C T T T A A C C", "A A C T T T A A C"),
         {"import", "--ped", "a.ped", "--map", "trios.map"},
         "a.ped, line 3: 15 fields; with the 5 markers of trios.map a line has 6 + 2 x 5 = 16"},
        {"a.map",
         "1 rs1 0 1000\n1 rs2 0 2,000\n",
         {"import", "--ped", "trios.ped", "--map", "a.map"},
         "a.map, line 2: position '2,000' of marker rs2 is not a whole number of 0 or more"},
        {"trios.bed",
         bed.substr(0, 20),
         {"import", "--bfile", "trios"},
         "trios.bed: holds 20 bytes; 16 people (trios.fam) and 5 markers (trios.bim) need 23 bytes"},
        {"trios.bed",
         replaced(bed, "\x6c\x1b\x01", std::string("\x6c\x1b\x00", 3)),
         {"import", "--bfile", "trios"},
         "trios.bed: is not SNP-major"},
        {"m.txt", "rs1\nrs9\n", with(vcfInput, {"--markers", "m.txt"}),
         "m.txt, line 2: marker rs9 is not in the genotype file"},
        {"m.txt", "rs1\nrs4\n", with(vcfInput, {"--markers", "m.txt", "--region", "1:1-3000"}),
         "m.txt, line 2: marker rs4 is not in the genotype file within the region 1:1-3000"},
        {"m.txt", "rs1\nrs1\n", with(vcfInput, {"--markers", "m.txt"}),
         "m.txt, line 2: marker rs1 is already listed on line 1"},
    };
    for (const BadFile& bad : cases) {
        if (!bad.name.empty()) writeFile(folder / bad.name, bad.text);
        const RunResult run = import(bad.arguments);
        EXPECT_EQ(run.status, 1) << bad.message;
        EXPECT_NE(run.err.find("triotdt import: " + bad.message), std::string::npos) << run.err;
        EXPECT_FALSE(anyOutput(folder)) << bad.message;
        if (bad.name == "trios.bed") fs::remove(folder / bad.name);
    }
}

// The trios of the cross-check: a seeded generator, so the test is the same
// on every run. Alleles are 0 and 1 as in a VCF.
struct Trio {
    std::array<std::array<int, 2>, 3> person;  // father, mother, child: two alleles each
};

std::vector<std::vector<Trio>> generateTrios(int markers, int trios) {
    std::uint64_t state = 20261208;
    const auto draw = [&state](int n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(n));
    };
    std::vector<std::vector<Trio>> byMarker(static_cast<std::size_t>(markers));
    for (int m = 0; m < markers; ++m) {
        for (int t = 0; t < trios; ++t) {
            Trio trio{};
            for (auto& parent : {0, 1}) trio.person[parent] = {draw(100) < 30 + 10 * m, draw(100) < 30 + 10 * m};
            // Allele 1 is passed on more often than by chance at the later markers.
            for (int parent : {0, 1}) {
                const auto& alleles = trio.person[static_cast<std::size_t>(parent)];
                const bool favourOne = alleles[0] != alleles[1] && draw(100) < 10 * m;
                trio.person[2][static_cast<std::size_t>(parent)] =
                    favourOne ? 1 : alleles[static_cast<std::size_t>(draw(2))];
            }
            byMarker[static_cast<std::size_t>(m)].push_back(trio);
        }
    }
    return byMarker;
}

// b and c of the transmission/disequilibrium test at one marker: how often
// heterozygous parents pass on allele 1 and allele 0. When both parents and
// the child are heterozygous the phase is open, and each parent counts half
// for each allele.
std::pair<double, double> transmissions(const std::vector<Trio>& trios) {
    double b = 0, c = 0;
    for (const Trio& trio : trios) {
        const auto& child = trio.person[2];
        for (int parent : {0, 1}) {
            const auto& alleles = trio.person[static_cast<std::size_t>(parent)];
            const auto& other = trio.person[static_cast<std::size_t>(1 - parent)];
            if (alleles[0] == alleles[1]) continue;
            int passed;
            if (child[0] == child[1]) {
                passed = child[0];
            } else if (other[0] == other[1]) {
                passed = child[0] == other[0] ? child[1] : child[0];
            } else {
                b += 0.5;
                c += 0.5;
                continue;
            }
            (passed == 1 ? b : c) += 1;
        }
    }
    return {b, c};
}

// generated.vcf and generated.fam of the trios, marker by marker; an allele
// below 0 is a missing call.
void writeTrioFiles(const fs::path& folder, const std::vector<std::vector<Trio>>& byMarker) {
    const std::size_t trios = byMarker.empty() ? 0 : byMarker[0].size();
    std::string vcf =
        "##fileformat=VCFv4.2\n##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
        "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT";
    std::string pedigree;
    for (std::size_t t = 0; t < trios; ++t) {
        const std::string family = "T" + std::to_string(t);
        vcf += "\t" + family + "F\t" + family + "M\t" + family + "C";
        pedigree += family + " " + family + "F 0 0 1 1\n" + family + " " + family + "M 0 0 2 1\n" + family + " " +
                    family + "C " + family + "F " + family + "M 1 2\n";
    }
    vcf += "\n";
    for (std::size_t m = 0; m < byMarker.size(); ++m) {
        vcf += "7\t" + std::to_string(100 * (m + 1)) + "\tm" + std::to_string(m) + "\tA\tC\t.\t.\t.\tGT";
        for (const Trio& trio : byMarker[m]) {
            for (const auto& person : trio.person) {
                vcf += person[0] < 0 ? "\t./." : "\t" + std::to_string(person[0]) + "/" + std::to_string(person[1]);
            }
        }
        vcf += "\n";
    }
    writeFile(folder / "generated.vcf", vcf);
    writeFile(folder / "generated.fam", pedigree);
}

// 300 trios x 20,000 markers, 18 million genotypes, in 128 MiB: the import
// holds a few bytes a genotype, neither a copy of the kept families nor the
// text of tdtinput.dat (which alone is 72 MB).
TEST_F(ImportProgram, AChromosomeOfGenotypesFitsInAFewBytesEach) {
    constexpr int trios = 300, markers = 20000, people = 3 * trios;
    std::string fam, bim, bed = "\x6c\x1b\x01";
    for (int t = 1; t <= trios; ++t) {
        const std::string f = "F" + std::to_string(t);
        fam +=
            f + " " + f + "P 0 0 1 1\n" + f + " " + f + "M 0 0 2 1\n" + f + " " + f + "C " + f + "P " + f + "M 1 2\n";
    }
    for (int m = 0; m < markers; ++m) {
        bim += "1\tm" + std::to_string(m) + "\t0\t" + std::to_string(100 + m) + "\tA\tG\n";
        // Homozygous parents of opposite alleles and a heterozygous child,
        // turned round at every other marker: no Mendelian error.
        std::string block((people + 3) / 4, '\0');
        for (int p = 0; p < people; ++p) {
            const int code = p % 3 == 2 ? 2 : (p % 3 == 0) == (m % 2 == 0) ? 0 : 3;
            block[static_cast<std::size_t>(p / 4)] =
                static_cast<char>(block[static_cast<std::size_t>(p / 4)] | code << (2 * (p % 4)));
        }
        bed += block;
    }
    writeFile(folder / "big.fam", fam);
    writeFile(folder / "big.bim", bim);
    writeFile(folder / "big.bed", bed);
    const RunResult run = runProgram(folder, {"import", "--bfile", "big"}, withMemoryLimit(rlim_t{128} << 20));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string input = readFile(folder / "tdtinput.dat");
    std::string alleleCounts, father, child;
    for (int m = 0; m < markers; ++m) {
        alleleCounts += m == 0 ? "2" : " 2";
        father += m == 0 ? "1 1" : m % 2 == 0 ? " 1 1" : " 2 2";
        child += m == 0 ? "1 2" : " 1 2";
    }
    const std::string head = "300\n1000\n20000\n" + alleleCounts + "\n" + father + "\n";
    EXPECT_EQ(input.substr(0, head.size()), head);
    EXPECT_EQ(input.substr(input.size() - child.size() - 1), child + "\n");
    // Every record is 20,000 one-digit pairs.
    EXPECT_EQ(input.size(), head.size() + (3 * trios - 1) * (father.size() + 1));
}

TEST_F(ImportProgram, SingleMarkerPeIsTwiceTheTransmissionChiSquare) {
    constexpr int markers = 5, trios = 60;
    const auto byMarker = generateTrios(markers, trios);
    writeTrioFiles(folder, byMarker);
    const RunResult imported =
        import({"import", "--vcf", "generated.vcf", "--pedigree", "generated.fam", "--replicates", "1"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    ASSERT_EQ(runProgram(folder, {}).status, 0);

    // The statistic lines of the one-locus windows come first, in locus order.
    std::istringstream results(readFile(folder / "tdtout.txt"));
    std::string line;
    int m = 0;
    while (m < markers && std::getline(results, line)) {
        if (line.find("statis") == std::string::npos) continue;
        std::istringstream values(line.substr(line.find("statis") + 6));
        double punamb, pg, pe;
        values >> punamb >> pg >> pe;
        const auto [b, c] = transmissions(byMarker[static_cast<std::size_t>(m)]);
        const double chiSquare = b + c > 0 ? (b - c) * (b - c) / (b + c) : 0.0;
        EXPECT_NEAR(pe, 2 * chiSquare, 0.0005 + 1e-9) << "marker " << m << ": b = " << b << ", c = " << c;
        ++m;
    }
    EXPECT_EQ(m, markers);
}

bool consistent(const Trio& trio) {
    const auto& [father, mother, child] = trio.person;
    for (const int f : father) {
        for (const int m : mother) {
            if ((child[0] == f && child[1] == m) || (child[0] == m && child[1] == f)) return true;
        }
    }
    return false;
}

// Real calls: about 1% of them missing and a few children miscalled. The
// default import keeps every trio, and each one-marker window analyses the
// trios complete and consistent at its marker: Pe is twice their
// transmission/disequilibrium chi-square, and `families` their number.
TEST_F(ImportProgram, EveryTrioKeptAndEachMarkerAnalysedOverItsUsableTrios) {
    constexpr int markers = 6, trios = 300;
    auto byMarker = generateTrios(markers, trios);
    std::uint64_t state = 99;
    const auto draw = [&state](int n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(n));
    };
    std::vector<std::vector<Trio>> usable(markers);
    for (std::size_t m = 0; m < byMarker.size(); ++m) {
        for (Trio& trio : byMarker[m]) {
            // A child homozygous for the allele its homozygous father lacks.
            const int fatherAllele = trio.person[0][0];
            if (fatherAllele == trio.person[0][1] && draw(100) < 3)
                trio.person[2] = {1 - fatherAllele, 1 - fatherAllele};
            bool complete = true;
            for (auto& person : trio.person) {
                if (draw(1000) < 10) person = {-1, -1};
                complete = complete && person[0] >= 0;
            }
            if (complete && consistent(trio)) usable[m].push_back(trio);
        }
    }
    writeTrioFiles(folder, byMarker);
    const RunResult imported =
        import({"import", "--vcf", "generated.vcf", "--pedigree", "generated.fam", "--replicates", "1"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(inputValues(folder / "tdtinput.dat").at(0), trios);
    const RunResult analysed = runProgram(folder, {"--table", "t.tsv"});
    ASSERT_EQ(analysed.status, 0) << analysed.err;
    EXPECT_TRUE(analysed.out.starts_with("Missing genotypes: ")) << analysed.out.substr(0, 200);

    std::istringstream table(readFile(folder / "t.tsv"));
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(table, line);) {
        rows.emplace_back(1);
        for (const char c : line) {
            if (c == '\t') rows.back().emplace_back();
            else rows.back().back() += c;
        }
    }
    const auto column = [&rows](const std::string& name) {
        return static_cast<std::size_t>(std::find(rows[0].begin(), rows[0].end(), name) - rows[0].begin());
    };
    int checked = 0;
    for (std::size_t r = 1; r < rows.size(); ++r) {
        if (rows[r].at(column("window_size")) != "1") continue;
        const auto m = static_cast<std::size_t>(std::stoi(rows[r].at(column("first_locus"))) - 1);
        const auto [b, c] = transmissions(usable.at(m));
        ASSERT_GT(b + c, 0);
        const double pe = std::strtod(rows[r].at(column("stat_Pe")).c_str(), nullptr);
        EXPECT_NEAR(pe, 2 * (b - c) * (b - c) / (b + c), 1e-9) << "marker " << m << ": b = " << b << ", c = " << c;
        EXPECT_EQ(rows[r].at(column("families")), std::to_string(usable[m].size())) << "marker " << m;
        EXPECT_LT(usable[m].size(), std::size_t{trios}) << "marker " << m;
        ++checked;
    }
    EXPECT_EQ(checked, markers);
}

}  // namespace
}  // namespace triotdt::test
