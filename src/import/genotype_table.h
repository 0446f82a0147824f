#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "import/pedigree.h"

namespace triotdt::import {

// A marker as the genotype file describes it.
struct Locus {
    std::string chromosome;
    std::int64_t position = 0;
    std::string name;
    // The labels of alleles 1, 2, ... in allele-number order.
    std::vector<std::string> alleles;
    std::string origin;  // where it was read, for messages ("trios.bim, line 3")
    std::int32_t haploidCalls = 0;  // haploid genotypes (VCF), read as missing
};

// Two allele numbers, each 1..alleles.size() of its locus; 0 marks a missing
// genotype (both are 0 then). Four bytes: a whole genome's genotypes are held.
struct Genotype {
    // The most alleles a locus can have (a BCF record has no more either).
    static constexpr std::int32_t maxAllele = 65535;

    std::uint16_t first = 0;
    std::uint16_t second = 0;

    constexpr Genotype() = default;
    constexpr Genotype(std::int32_t a, std::int32_t b)
        : first(static_cast<std::uint16_t>(a)), second(static_cast<std::uint16_t>(b)) {}

    bool missing() const { return first == 0; }
};

// The genotypes of the selected loci, locus after locus, one per person of
// the pedigree (a person who is not genotyped stays missing).
struct GenotypeTable {
    std::vector<Locus> loci;
    std::size_t personCount = 0;
    std::vector<Genotype> genotypes;

    Genotype at(std::size_t locus, std::int32_t person) const {
        return genotypes[locus * personCount + static_cast<std::size_t>(person)];
    }
    // Appends a locus whose genotypes are all missing and returns its first genotype.
    Genotype* addLocus(Locus locus) {
        loci.push_back(std::move(locus));
        genotypes.resize(genotypes.size() + personCount);
        return genotypes.data() + (loci.size() - 1) * personCount;
    }
};

// What a genotype reader gives: the people (with the columns of those who are
// genotyped), the selected loci with their genotypes, and counts for the summary.
struct GenotypeData {
    std::vector<Person> people;
    GenotypeTable table;
    std::string files;               // the files read, for the summary
    std::string genotypeFile;        // the file of the markers, for messages
    std::int64_t markersRead = 0;    // markers (VCF records) read, selected or not
    std::int64_t markersInRegion = 0;  // of those, in the region (all when there is none)
    // The file's chromosomes in the order first met (with an index: all the
    // index knows), for messages.
    std::vector<std::string> chromosomes;
    // Things the import reads differently from the file's letter, for the user
    // to check ("trios.vcf: its header ...").
    std::vector<std::string> warnings;
    // The pedigree is a file of its own (VCF), so people may lack genotypes
    // and samples may lack a pedigree line.
    bool separatePedigree = false;
    std::vector<std::string> samplesNotInPedigree;  // VCF samples no pedigree line names

    // Notes the chromosome of a marker read and whether the region holds it.
    void noteMarker(const std::string& chromosome, bool inRegion) {
        if (chromosomes.empty() || chromosomes.back() != chromosome) {
            if (std::find(chromosomes.begin(), chromosomes.end(), chromosome) == chromosomes.end()) {
                chromosomes.push_back(chromosome);
            }
        }
        markersInRegion += inRegion;
    }
};

// Haploid calls read as missing genotypes, over the loci of the table.
inline std::int64_t countHaploidCalls(const GenotypeTable& table) {
    std::int64_t count = 0;
    for (const Locus& locus : table.loci) count += locus.haploidCalls;
    return count;
}

}  // namespace triotdt::import
