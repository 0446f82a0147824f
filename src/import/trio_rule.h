#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "haplotype/family_data.h"
#include "import/genotype_table.h"
#include "import/pedigree.h"
#include "output/loci_table.h"

namespace triotdt::import {

// What the analysis cannot take: a trio with a missing genotype, or whose
// child cannot have one allele from each parent, at a marker.
enum class Problem { missingData, mendelianError };

struct TrioProblem {
    std::int32_t trio = 0;   // index into the trios
    std::int32_t locus = 0;  // index into the table's loci
    Problem problem = Problem::missingData;
};

// Which of two things goes when a trio has a problem at a marker.
enum class DropRule { trios, markers };

struct RuleOutcome {
    std::vector<TrioProblem> problems;  // trio by trio, locus by locus
    // Why each trio or locus was left out (empty: kept). A trio or marker with
    // both kinds of problem counts as left out for missing data.
    std::vector<std::optional<Problem>> trioDropped;
    std::vector<std::optional<Problem>> locusDropped;
    std::vector<std::int32_t> keptTrios;
    std::vector<std::int32_t> keptLoci;
    // Kept loci at which the kept trios carry one allele only.
    std::vector<std::int32_t> monomorphicLoci;
};

// The problems of every trio at every locus, and what the rule leaves out
// because of them: the trio (DropRule::trios) or the marker (DropRule::markers).
RuleOutcome applyRule(const GenotypeTable& table, const std::vector<Trio>& trios, DropRule rule);

// The analysis input of the kept trios at the kept loci: one family per
// trio, the allele count of a locus the number of its allele labels.
haplotype::FamilyData buildFamilyData(const GenotypeTable& table, const std::vector<Trio>& trios,
                                      const RuleOutcome& outcome, std::int32_t replicateCount);

// The rows of tdtloci.tsv for the kept loci, numbered as in the analysis input.
std::vector<output::LocusRow> buildLociRows(const GenotypeTable& table, const RuleOutcome& outcome);

}  // namespace triotdt::import
