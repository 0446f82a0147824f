#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
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
    std::string origin;             // where it was read, for messages ("trios.bim, line 3")
    std::int32_t haploidCalls = 0;  // haploid genotypes (VCF), read as missing
};

// Two allele numbers, each 1..alleles.size() of its locus; 0 marks a missing
// genotype (both are 0 then).
struct Genotype {
    // The most alleles a locus can have (a BCF record has no more either).
    static constexpr std::int32_t maxAllele = 65535;

    std::uint16_t first = 0;
    std::uint16_t second = 0;

    constexpr Genotype() = default;
    constexpr Genotype(std::int32_t a, std::int32_t b)
        : first(static_cast<std::uint16_t>(a)), second(static_cast<std::uint16_t>(b)) {}

    bool missing() const { return first == 0; }
    friend bool operator==(const Genotype&, const Genotype&) = default;
};

// The genotypes of one locus of a table, one per held person, for the reader
// that fills them.
class LocusGenotypes {
public:
    LocusGenotypes(std::uint8_t* bytes, bool wide) : bytes_(bytes), wide_(wide) {}

    // `genotype` must fit the locus: allele numbers up to its allele count.
    void set(std::size_t row, Genotype genotype);

private:
    std::uint8_t* bytes_;
    bool wide_;
};

// Which people a table holds genotypes of: by default everyone.
using HeldPeople = std::function<std::vector<bool>(const std::vector<Person>&)>;

// The genotypes of the selected loci, locus after locus, one per held person
// (a person who is not genotyped stays missing; one who is not held reads as
// missing). A whole chromosome of a large study is held, so an allele number
// takes one byte at a locus of at most 255 alleles and two bytes at the rare
// locus of more. The loci are stored in blocks rather than one array that
// would be copied as it grows, and tables share blocks: reordering the loci
// or splitting them by chromosome copies no genotype.
class GenotypeTable {
public:
    std::vector<Locus> loci;

    // Holds the genotypes of `count` people, or of those `held` marks; only
    // before the first locus is added.
    void holdEveryone(std::size_t count);
    void holdPeople(const std::vector<bool>& held);
    // Holds those `held` chooses among `people`; everyone when it is empty.
    void holdPeople(const std::vector<Person>& people, const HeldPeople& held) {
        held ? holdPeople(held(people)) : holdEveryone(people.size());
    }
    // The same people as `other` holds, without its loci.
    void holdPeopleOf(const GenotypeTable& other);

    // The row of `person`'s genotypes at every locus, or -1 when they are not held.
    std::int32_t rowOf(std::int32_t person) const { return rowOf_[static_cast<std::size_t>(person)]; }
    Genotype at(std::size_t locus, std::int32_t person) const;
    // Writes `person`'s genotype at `locus` as missing (a genotyping error);
    // only a held person's. Tables that share the locus see it too.
    void setMissing(std::size_t locus, std::int32_t person);
    // Appends a locus (its alleles already listed) whose genotypes are all
    // missing, and returns them for filling.
    LocusGenotypes addLocus(Locus locus);
    // Appends `locus` with the genotypes of locus `l` of `other`, which holds
    // the same people; they are shared, not copied.
    void addLocusOf(const GenotypeTable& other, std::size_t l, Locus locus);

private:
    struct Place {
        std::size_t block = 0;
        std::size_t offset = 0;
        bool wide = false;
    };

    std::size_t rowBytes(bool wide) const { return rowCount_ * (wide ? 4 : 2); }
    std::uint8_t* reserveRow(bool wide);

    std::vector<std::int32_t> rowOf_;  // per person, the row held, or -1
    std::size_t rowCount_ = 0;
    std::vector<Place> places_;  // per locus
    // Filled once written; the last one grows only while no other table shares it.
    std::vector<std::shared_ptr<std::vector<std::uint8_t>>> blocks_;
};

// What a genotype reader gives: the people (with the columns of those who are
// genotyped), the selected loci with their genotypes, and counts for the summary.
struct GenotypeData {
    std::vector<Person> people;
    GenotypeTable table;
    std::string files;                 // the files read, for the summary
    std::string genotypeFile;          // the file of the markers, for messages
    std::int64_t markersRead = 0;      // markers (VCF records) read, selected or not
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
