#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <span>
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

// The records after `head` (as readFamilyHead left the reader), of which
// only loci first..last (1-based) are kept, numbered from 1: a shard holds
// the loci its windows read. Nothing is kept when first > last.
haplotype::FamilyData readFamilyLoci(io::TextReader& reader, const haplotype::FamilyData& head, std::int32_t first,
                                     std::int32_t last);

// tdtinput.dat read once, whole, in the working folder; or why it could not
// be. The failures are kept, not thrown, so that the run reports them at the
// point where it has always reported them: a failure to open before the
// reports are created, a failure to read after.
struct InputRead {
    std::optional<haplotype::FamilyData> data;
    std::exception_ptr openFailure;
    std::exception_ptr readFailure;
};

InputRead readInput();

// Whether every locus has few enough alleles for the family tables.
bool countsFitTables(const haplotype::FamilyData& data);

// The largest allele count of any locus (1 without loci), which sets how
// wide the family tables are.
std::int32_t largestAlleleCount(const haplotype::FamilyData& data);

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

// Throws io::InputRefused, with the message of describeUnusableInput for
// tdtinput.dat, unless `problems` is empty.
void refuseUnusableInput(const InputProblems& problems);

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

// What one pass over every record after `head` finds without keeping them:
// the problems of the whole input, checked family by family, and its missing
// genotypes. `trioGenotyped`, when given, is told for each family in input
// order at which loci its father, mother and child are all genotyped
// (nonzero), one entry per locus. Refuses the input, as
// refuseUnusableInput, when a whole run would.
struct InputSurvey {
    InputProblems problems;
    std::int64_t missingGenotypes = 0;
};

InputSurvey surveyRecords(io::TextReader& reader, const haplotype::FamilyData& head,
                          const std::function<void(std::span<const std::uint8_t>)>& trioGenotyped = {});

// The message for the problems: the places shown, then how many more, then,
// for a Mendelian inconsistency, how to mend it.
std::string describeUnusableInput(const std::string& fileName, const InputProblems& problems);

}  // namespace triotdt::input
