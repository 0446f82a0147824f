#pragma once

#include <string>
#include <vector>

#include "haplotype/family_data.h"
#include "io/text_reader.h"

namespace triotdt::input {

// Reads the whole input: the family count, the replicate count, the locus
// count, the allele counts, then each family's father, mother and child
// records of 2 × lociCount allele numbers, each a read statement of its own.
// Tables grow as records arrive, so a count larger than the file can hold
// fails at the end of the file instead of reserving room first.
haplotype::FamilyData readFamilyData(io::TextReader& reader);

// The first statements only: the family, replicate and locus counts and the
// allele counts, with the records left unread.
haplotype::FamilyData readFamilyHead(io::TextReader& reader);

// Whether every locus has few enough alleles for the family tables.
bool countsFitTables(const haplotype::FamilyData& data);

// The text readFamilyData reads back: the three counts on lines of their own,
// the allele counts on one line, then each family's father, mother and child
// records, one line each, numbers separated by one space.
std::string formatFamilyData(const haplotype::FamilyData& data);

// What in the data the analysis cannot use: impossible counts, alleles
// outside their locus's range (0 is not one: it marks a missing genotype) and
// trios genotyped at a locus in which the child's genotype cannot come from
// the parents. The first 20 places are described, one line each; the rest are
// only counted.
struct InputProblems {
    std::vector<std::string> shown;
    std::size_t total = 0;
    bool mendelian = false;  // a child's genotype cannot come from the parents somewhere

    bool empty() const { return total == 0; }
    void add(std::string problem);
};

InputProblems findUnusableInput(const haplotype::FamilyData& data);

// The genotypes (person and locus) with an allele 0. Only for input that
// passed the check.
std::int64_t countMissingGenotypes(const haplotype::FamilyData& data);

// The message for the problems: the places shown, then how many more, then,
// for a Mendelian inconsistency, how to mend it.
std::string describeUnusableInput(const std::string& fileName, const InputProblems& problems);

}  // namespace triotdt::input
