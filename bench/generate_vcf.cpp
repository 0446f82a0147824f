// Writes a deterministic VCF of simulated trios and its pedigree, to measure
// `triotdt import` at chromosome scale.
//
//   generate_vcf --trios N --markers M --vcf FILE --pedigree FILE [--bfile PREFIX] [--seed S]
//                [--risk FIRST-LAST:P] [--chromosomes K]
//
// With --bfile the same genotypes are also written as PREFIX.bed (SNP-major),
// PREFIX.bim and PREFIX.fam.
// Every marker is biallelic, on chromosome 1, or with --chromosomes K the
// markers in K runs of about M/K on chromosomes 1 to K (each from position
// 1000, the same draws as on one); the parents' genotypes are drawn
// at an allele frequency of the marker's own, each child gets one allele from
// each parent, and about one genotype in a thousand is missing. With --risk,
// a heterozygous parent transmits the ALT allele of markers FIRST to LAST
// (1-based) with probability P instead of one half: a block of markers
// associated with the children's disease, for the figure to show.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "split_mix.h"

namespace {

[[noreturn]] void usage() {
    std::fputs(
        "usage: generate_vcf --trios N --markers M --vcf FILE --pedigree FILE [--bfile PREFIX] [--seed S]\n"
        "                    [--risk FIRST-LAST:P] [--chromosomes K]\n",
        stderr);
    std::exit(2);
}

void writePedigree(const char* path, int trios) {
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr) usage();
    for (int t = 1; t <= trios; ++t) {
        std::fprintf(out, "F%d F%dP 0 0 1 1\nF%d F%dM 0 0 2 1\nF%d F%dC F%dP F%dM 1 2\n", t, t, t, t, t, t, t, t);
    }
    std::fclose(out);
}

// The .bed, .bim and .fam of the genotypes the VCF gets, opened when --bfile asks.
struct Bfile {
    std::FILE* bed = nullptr;
    std::FILE* bim = nullptr;
    std::vector<unsigned char> block;

    // Two bits a person, the first person lowest: 00 REF/REF, 10 REF/ALT, 11 ALT/ALT, 01 missing.
    void add(std::size_t person, int a, int b, bool missing) {
        const int code = missing ? 1 : a + b == 0 ? 0 : a + b == 1 ? 2 : 3;
        block[person / 4] = static_cast<unsigned char>(block[person / 4] | code << (2 * (person % 4)));
    }
};

Bfile openBfile(const char* prefix, int trios) {
    Bfile files;
    if (prefix == nullptr) return files;
    const std::string base = prefix;
    writePedigree((base + ".fam").c_str(), trios);
    files.bed = std::fopen((base + ".bed").c_str(), "wb");
    files.bim = std::fopen((base + ".bim").c_str(), "w");
    if (files.bed == nullptr || files.bim == nullptr) usage();
    std::fwrite("\x6c\x1b\x01", 1, 3, files.bed);
    files.block.resize((3 * static_cast<std::size_t>(trios) + 3) / 4);
    return files;
}

// Markers first to last (1-based) over-transmit their ALT allele.
struct RiskBlock {
    int first = 0;
    int last = -1;
    double transmission = 0.5;  // of the ALT allele by a heterozygous parent

    bool holds(int marker) const { return marker + 1 >= first && marker + 1 <= last; }
};

RiskBlock parseRisk(const char* text) {
    RiskBlock block;
    if (std::sscanf(text, "%d-%d:%lf", &block.first, &block.last, &block.transmission) != 3) usage();
    return block;
}

void writeVcf(const char* path, int trios, int markers, SplitMix& random, Bfile bfile, RiskBlock risk,
              int chromosomes) {
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr) usage();
    std::fputs("##fileformat=VCFv4.2\n", out);
    for (int c = 1; c <= chromosomes; ++c) std::fprintf(out, "##contig=<ID=%d>\n", c);
    std::fputs(
        "##FORMAT=<ID=GT,Number=1,Type=String,Description=\"Genotype\">\n"
        "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT",
        out);
    for (int t = 1; t <= trios; ++t) std::fprintf(out, "\tF%dP\tF%dM\tF%dC", t, t, t);
    std::fputc('\n', out);
    std::string line;
    for (int m = 0; m < markers; ++m) {
        const double frequency = 0.05 + 0.9 * random.uniform();
        // Marker m on chromosome c, the k-th of it.
        const int c = static_cast<int>(static_cast<long long>(m) * chromosomes / markers);
        const int first = static_cast<int>((static_cast<long long>(c) * markers + chromosomes - 1) / chromosomes);
        const int position = 1000 + 100 * (m - first);
        line = std::to_string(c + 1) + "\t" + std::to_string(position) + "\trs" + std::to_string(m + 1) +
               "\tA\tG\t.\tPASS\t.\tGT";
        const auto allele = [&] { return random.uniform() < frequency ? 1 : 0; };
        std::fill(bfile.block.begin(), bfile.block.end(), 0);
        std::size_t person = 0;
        const auto genotype = [&](int a, int b) {
            line += '\t';
            const bool missing = random.uniform() < 0.001;
            if (bfile.bed != nullptr) bfile.add(person++, a, b, missing);
            if (missing) {
                line += "./.";
                return;
            }
            line += static_cast<char>('0' + a);
            line += '/';
            line += static_cast<char>('0' + b);
        };
        for (int t = 0; t < trios; ++t) {
            const int f1 = allele(), f2 = allele(), m1 = allele(), m2 = allele();
            genotype(f1, f2);
            genotype(m1, m2);
            // One draw per parent either way, so that --risk changes no other
            // marker; the mother's first, as in every VCF generated so far.
            const auto transmit = [&](int a, int b) {
                const double u = random.uniform();
                if (risk.holds(m) && a != b) return u < risk.transmission ? 1 : 0;
                return u < 0.5 ? a : b;
            };
            const int fromMother = transmit(m1, m2);
            genotype(transmit(f1, f2), fromMother);
        }
        line += '\n';
        std::fputs(line.c_str(), out);
        if (bfile.bed == nullptr) continue;
        std::fwrite(bfile.block.data(), 1, bfile.block.size(), bfile.bed);
        std::fprintf(bfile.bim, "%d\trs%d\t0\t%d\tA\tG\n", c + 1, m + 1, position);
    }
    std::fclose(out);
    if (bfile.bed == nullptr) return;
    std::fclose(bfile.bed);
    std::fclose(bfile.bim);
}

}  // namespace

int main(int argc, char** argv) {
    int trios = 0, markers = 0;
    const char *vcf = nullptr, *pedigree = nullptr, *bfile = nullptr;
    std::uint64_t seed = 1;
    RiskBlock risk;
    int chromosomes = 1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--trios") == 0) trios = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--markers") == 0) markers = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--vcf") == 0) vcf = argv[i + 1];
        else if (std::strcmp(argv[i], "--pedigree") == 0) pedigree = argv[i + 1];
        else if (std::strcmp(argv[i], "--bfile") == 0) bfile = argv[i + 1];
        else if (std::strcmp(argv[i], "--seed") == 0) seed = std::strtoull(argv[i + 1], nullptr, 10);
        else if (std::strcmp(argv[i], "--risk") == 0) risk = parseRisk(argv[i + 1]);
        else if (std::strcmp(argv[i], "--chromosomes") == 0) chromosomes = std::atoi(argv[i + 1]);
        else usage();
    }
    if (argc % 2 != 1 || trios < 1 || markers < 1 || chromosomes < 1 || chromosomes > markers || vcf == nullptr ||
        pedigree == nullptr)
        usage();
    SplitMix random{seed};
    writePedigree(pedigree, trios);
    writeVcf(vcf, trios, markers, random, openBfile(bfile, trios), risk, chromosomes);
    return 0;
}
