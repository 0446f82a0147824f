// Writes a deterministic tdtinput.dat of simulated trios to standard output.
//
//   generate_input --families N --replicates R --alleles A1,A2,...  [--seed S]
//                  [--ld P] [--risk P] [--risk-at L] [--x-linked SEXFILE [--missing-fathers P]]
//   generate_input --families N --replicates R --loci L --allele-count A ...
//
// Parents' haplotypes come from a Markov chain along the loci: with
// probability --ld an allele follows from the one before it (linkage
// disequilibrium between adjacent markers), otherwise it is drawn afresh with
// skewed frequencies. Each parent transmits one of its two haplotypes; with
// probability --risk a parent carrying the all-1 haplotype at the three
// markers from --risk-at (1, the first, by default) transmits it, so the data
// hold a signal to find.
//
// --x-linked makes the loci chromosome X's and writes the children's sexes
// to SEXFILE (tdtsex.tsv): each child is a son or a daughter at even odds,
// a father has one X (written as two equal alleles) and gives it to a
// daughter only, a mother transmits one of her two X (the risk haplotype as
// above). With --missing-fathers each father is left ungenotyped (0 0) with
// probability P.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "split_mix.h"

namespace {

struct Settings {
    int families = 50;
    int replicates = 1000;
    std::vector<int> alleles;
    std::uint64_t seed = 1;
    double ld = 0.7;
    double risk = 0.0;
    std::size_t riskAt = 0;  // first locus of the risk haplotype, from 0
    std::string sexFile;     // --x-linked
    double missingFathers = 0.0;
};

[[noreturn]] void usage() {
    std::fputs(
        "usage: generate_input --families N --replicates R (--alleles A1,A2,... | --loci L --allele-count A)\n"
        "                      [--seed S] [--ld P] [--risk P] [--risk-at L] [--x-linked SEXFILE [--missing-fathers P]]\n",
        stderr);
    std::exit(2);
}

Settings parse(int argc, char** argv) {
    Settings s;
    int loci = 0, alleleCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) usage();
        const char* value = argv[++i];
        if (flag == "--families") s.families = std::atoi(value);
        else if (flag == "--replicates") s.replicates = std::atoi(value);
        else if (flag == "--loci") loci = std::atoi(value);
        else if (flag == "--allele-count") alleleCount = std::atoi(value);
        else if (flag == "--seed") s.seed = std::strtoull(value, nullptr, 10);
        else if (flag == "--ld") s.ld = std::atof(value);
        else if (flag == "--risk") s.risk = std::atof(value);
        else if (flag == "--risk-at") s.riskAt = static_cast<std::size_t>(std::max(std::atoi(value), 1) - 1);
        else if (flag == "--x-linked") s.sexFile = value;
        else if (flag == "--missing-fathers") s.missingFathers = std::atof(value);
        else if (flag == "--alleles") {
            for (const char* p = value; *p;) {
                s.alleles.push_back(std::atoi(p));
                p = std::strchr(p, ',');
                if (!p) break;
                ++p;
            }
        } else usage();
    }
    if (s.alleles.empty()) s.alleles.assign(static_cast<std::size_t>(loci), alleleCount);
    if (s.alleles.empty() || s.families < 0) usage();
    for (int a : s.alleles)
        if (a < 1) usage();
    return s;
}

// An allele drawn with frequencies falling off geometrically (allele 1 commonest).
int skewedAllele(SplitMix& random, int count) {
    int allele = 1;
    while (allele < count && random.uniform() < 0.45) ++allele;
    return allele;
}

std::vector<int> drawHaplotype(SplitMix& random, const Settings& s) {
    std::vector<int> h(s.alleles.size());
    for (std::size_t l = 0; l < h.size(); ++l) {
        const int count = s.alleles[l];
        if (l > 0 && random.uniform() < s.ld) {
            h[l] = (h[l - 1] - 1) % count + 1;  // follows the allele before it
        } else {
            h[l] = skewedAllele(random, count);
        }
    }
    return h;
}

bool isRisk(const std::vector<int>& h, std::size_t from) {
    for (std::size_t l = from; l < h.size() && l < from + 3; ++l)
        if (h[l] != 1) return false;
    return true;
}

// A parent's two haplotypes, written as genotypes with the two alleles in a
// random order, as lab files list them; returns the one transmitted.
std::vector<int> writeParent(SplitMix& random, const Settings& s) {
    const std::vector<int> h1 = drawHaplotype(random, s), h2 = drawHaplotype(random, s);
    int pick = random.below(2);
    if (isRisk(h1, s.riskAt) != isRisk(h2, s.riskAt) && random.uniform() < s.risk) {
        pick = isRisk(h1, s.riskAt) ? 0 : 1;
    }
    for (std::size_t l = 0; l < h1.size(); ++l) {
        const bool flip = random.below(2) == 1;
        std::printf(l ? " %d %d" : "%d %d", flip ? h2[l] : h1[l], flip ? h1[l] : h2[l]);
    }
    std::printf("\n");
    return pick == 0 ? h1 : h2;
}

// The child's genotypes from the two haplotypes it received.
void writeChild(SplitMix& random, const std::vector<int>& a, const std::vector<int>& b) {
    for (std::size_t l = 0; l < a.size(); ++l) {
        const bool flip = random.below(2) == 1;
        std::printf(l ? " %d %d" : "%d %d", flip ? b[l] : a[l], flip ? a[l] : b[l]);
    }
    std::printf("\n");
}

void writeTrios(SplitMix& random, const Settings& s) {
    for (int f = 0; f < s.families; ++f) {
        const std::vector<int> fromFather = writeParent(random, s);
        const std::vector<int> fromMother = writeParent(random, s);
        writeChild(random, fromFather, fromMother);
    }
}

// On X: the father's one X, written twice, or 0 0 when he is not genotyped.
void writeXTrios(SplitMix& random, const Settings& s, std::FILE* sexes) {
    std::fprintf(sexes, "family\tchild_sex\n");
    for (int f = 0; f < s.families; ++f) {
        const bool son = random.below(2) == 0;
        const bool fatherMissing = random.uniform() < s.missingFathers;
        std::fprintf(sexes, "%d\t%s\n", f + 1, son ? "son" : "daughter");
        const std::vector<int> father = drawHaplotype(random, s);
        for (std::size_t l = 0; l < father.size(); ++l) {
            const int allele = fatherMissing ? 0 : father[l];
            std::printf(l ? " %d %d" : "%d %d", allele, allele);
        }
        std::printf("\n");
        const std::vector<int> fromMother = writeParent(random, s);
        writeChild(random, son ? fromMother : father, fromMother);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Settings s = parse(argc, argv);
    SplitMix random{s.seed};
    std::printf("%d\n%d\n%zu\n", s.families, s.replicates, s.alleles.size());
    for (std::size_t l = 0; l < s.alleles.size(); ++l) std::printf(l ? " %d" : "%d", s.alleles[l]);
    std::printf("\n");
    if (s.sexFile.empty()) {
        writeTrios(random, s);
        return 0;
    }
    std::FILE* sexes = std::fopen(s.sexFile.c_str(), "w");
    if (sexes == nullptr) usage();
    writeXTrios(random, s, sexes);
    return std::fclose(sexes) == 0 ? 0 : 1;
}
