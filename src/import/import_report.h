#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "haplotype/family_data.h"
#include "import/genotype_table.h"
#include "import/marker_selection.h"
#include "import/pedigree.h"
#include "import/trio_rule.h"

namespace triotdt::import {

// Everything one import found, for the summary and the log.
struct ImportRun {
    GenotypeData data;
    TrioSearch search;
    DropRule rule = DropRule::trios;
    RuleOutcome outcome;
    std::int32_t replicateCount = 0;
    std::optional<Region> region;
    std::string markersFile;  // empty: no marker list

    // Something is left to analyse: at least one trio and one marker.
    bool hasOutput() const { return !outcome.keptTrios.empty() && !outcome.keptLoci.empty(); }
};

// tdtinput.dat: the family count, the replicate count, the locus count, the
// allele counts, then per family the father's, the mother's and the child's
// record, each statement on a line of its own.
std::string formatFamilyInput(const haplotype::FamilyData& data);

// The summary printed at the end of an import and written at the top of
// tdtimport.log: what was read, the trios and markers found, kept and left
// out (with counts), and what is written.
std::string formatSummary(const ImportRun& run);

// tdtimport.log: the summary, then every trio and marker left out and why,
// the monomorphic markers, the children who form no trio, the people and
// samples that are in only one of pedigree and VCF, and the families of
// tdtinput.dat.
std::string formatLog(const ImportRun& run);

}  // namespace triotdt::import
