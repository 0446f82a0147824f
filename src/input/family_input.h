#pragma once

#include <functional>
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

// One family's records as the input gives them: the father's, the mother's
// and the child's, 2 × lociCount allele numbers each.
struct TrioRecords {
    std::vector<std::int32_t> father, mother, child;
};

// Reads every family's records after `head` (as readFamilyHead left the
// reader), handing each family (0-based) to `use` in input order. Reads
// nothing when the head announces no loci, no families, or more alleles than
// the tables hold: readFamilyData reads the records this way.
void readEachTrio(io::TextReader& reader, const haplotype::FamilyData& head,
                  const std::function<void(std::int32_t family, const TrioRecords& trio)>& use);

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

// The same check one family at a time, as the records are read: the problems
// of the head's counts, then, for each family in input order, those of its
// records. Together they find exactly what findUnusableInput finds.
InputProblems findUnusableCounts(const haplotype::FamilyData& head);
void addUnusableGenotypes(InputProblems& problems, const haplotype::FamilyData& head, std::int32_t family,
                          const TrioRecords& trio);

// The genotypes (person and locus) with an allele 0. Only for input that
// passed the check.
std::int64_t countMissingGenotypes(const haplotype::FamilyData& data);
std::int64_t countMissingGenotypes(const TrioRecords& trio);

// The message for the problems: the places shown, then how many more, then,
// for a Mendelian inconsistency, how to mend it.
std::string describeUnusableInput(const std::string& fileName, const InputProblems& problems);

}  // namespace triotdt::input
