#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "import/genotype_table.h"
#include "import/pedigree.h"

namespace triotdt::import {

// What a trio can have at a marker: a missing genotype, or a child who
// cannot have one allele from each parent. On X a trio whose child's sex is
// not known is left out whole (unknownSex): without it the X cannot be read.
enum class Problem { missingData, mendelianError, unknownSex };

struct TrioProblem {
    std::int32_t trio = 0;   // index into the trios
    std::int32_t locus = 0;  // index into the table's loci
    Problem problem = Problem::missingData;
};

// What a problem costs. `genotype`: only the genotype, written missing (the
// child's at a Mendelian error), so that the trio leaves only the windows
// holding that marker. `trios`: the whole trio. `markers`: the marker.
enum class DropRule { genotype, trios, markers };

struct RuleOptions {
    DropRule rule = DropRule::genotype;
    // Leave out markers at which a larger share of the genotypes of the trios'
    // members is missing.
    std::optional<double> maxMissing;
};

struct RuleOutcome {
    std::vector<TrioProblem> problems;  // trio by trio, locus by locus
    // Why each trio or locus was left out (empty: kept). A trio or marker with
    // both kinds of problem counts as left out for missing data; so does a
    // marker at which no kept trio has a genotype.
    std::vector<std::optional<Problem>> trioDropped;
    std::vector<std::optional<Problem>> locusDropped;
    // Per locus, the share of missing genotypes among the trios' members, and
    // the loci left out because it is above RATE of --max-missing.
    std::vector<double> missingShare;
    std::vector<std::int32_t> sparseLoci;
    std::vector<std::int32_t> keptTrios;
    std::vector<std::int32_t> keptLoci;
    // Per kept locus (in keptLoci order), the number each allele of the file
    // gets in tdtinput.dat: the alleles the kept trios carry, numbered in file
    // order; 0 for an allele no one carries.
    std::vector<std::vector<std::int32_t>> alleleNumbers;
    // Kept loci at which the kept trios carry one allele only.
    std::vector<std::int32_t> monomorphicLoci;
    // Genotypes written, those written missing (a Mendelian error's too), and
    // children's genotypes written missing for a Mendelian error.
    std::int64_t genotypesWritten = 0;
    std::int64_t missingWritten = 0;
    std::int64_t mendelianWritten = 0;
    bool blanksMendelianErrors = false;  // the genotype rule

    // The child's genotype of `trio` at `locus` is written missing for a
    // Mendelian error.
    bool writtenMissing(std::int32_t trio, std::int32_t locus) const;
};

// The problems of every trio at every locus, and what the rule leaves out
// because of them. On X, `childSexOnX` gives the sex of each trio's child:
// there the mother and the child must be genotyped, and a daughter's father;
// a son's allele must be one of his mother's, a daughter must carry her
// father's allele and one of her mother's. Empty on an autosome.
RuleOutcome applyRule(const GenotypeTable& table, const std::vector<Trio>& trios, const RuleOptions& options,
                      std::span<const Sex> childSexOnX = {});

// A male's genotype on X with two different alleles: a genotyping error,
// since a male has one X.
struct MaleCall {
    std::int32_t person = 0;
    std::int32_t locus = 0;  // index into the table's loci
    Genotype genotype;
};

// Writes every heterozygous genotype of the trios' males (`males` marks
// them) at the loci of `table`, which are on X, as missing, and returns
// them, person by person, locus by locus.
std::vector<MaleCall> blankHeterozygousMales(GenotypeTable& table, const std::vector<Trio>& trios,
                                             const std::vector<bool>& males);

// The sex of each trio's child: male when `males` marks the child (see
// findMales), female when the pedigree says so, unknown otherwise.
std::vector<Sex> childSexes(const std::vector<Person>& people, const std::vector<Trio>& trios,
                            const std::vector<bool>& males);

}  // namespace triotdt::import
