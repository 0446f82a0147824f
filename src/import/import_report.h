#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "haplotype/family_data.h"
#include "import/genotype_table.h"
#include "import/marker_selection.h"
#include "import/pedigree.h"
#include "import/trio_rule.h"

namespace triotdt::import {

// The markers of one chromosome and what the rule made of them: one analysis.
struct ChromosomeImport {
    std::string chromosome;
    std::string folder;  // its run folder; empty: the working folder
    haplotype::Inheritance inheritance = haplotype::Inheritance::autosomal;  // X's is xLinked
    GenotypeTable table;
    std::vector<MaleCall> maleCalls;  // on X: heterozygous calls of males, written 0 0
    RuleOutcome outcome;

    // Something is left to analyse: at least one trio and one marker.
    bool hasOutput() const { return !outcome.keptTrios.empty() && !outcome.keptLoci.empty(); }
    // `name` in the run folder.
    std::string path(const std::string& name) const { return folder.empty() ? name : folder + "/" + name; }
};

// Everything one import found, for the summary and the logs.
struct ImportRun {
    GenotypeData data;  // its table is empty once split into chromosomes
    TrioSearch search;
    std::vector<Sex> childSexes;  // per trio, the child's (see childSexes)
    ChildChoice children = ChildChoice::affected;
    RuleOptions rules;
    std::int32_t replicateCount = 0;
    std::optional<Region> region;
    std::string markersFile;  // empty: no marker list
    std::string chromosome;   // --chromosome; empty: every chromosome
    // Chromosomes the file names in more than one way ("1" and "chr1"), the name kept first.
    std::vector<std::vector<std::string>> chromosomeNames;
    std::int64_t markersSelected = 0;
    std::vector<Locus> leftOutLoci;        // Y and MT markers
    std::int64_t otherChromosomeLoci = 0;  // left out by --chromosome
    std::vector<ChromosomeImport> parts;   // in chromosome order

    bool hasOutput() const;
};

// The sexes of the children of `part`'s kept trios, for its tdtsex.tsv on X.
std::vector<haplotype::ChildSex> keptChildSexes(const ImportRun& run, const ChromosomeImport& part);

// The summary printed at the end of an import and written at the top of
// every tdtimport.log: what was read, the children and trios found, the
// markers, genotypes and alleles kept and left out (with counts), and what
// is written where.
std::string formatSummary(const ImportRun& run);

// The tdtimport.log of the working folder: the summary, then the children
// who form no trio or are left out, the people and samples in only one of
// pedigree and genotype file, the markers of X, Y and MT, and, with one
// chromosome, what `formatChromosomeLog` lists.
std::string formatLog(const ImportRun& run);

// The tdtimport.log of a chromosome's run folder: the summary, then every
// trio and marker left out and why, the Mendelian errors written missing,
// the alleles no one carries, the monomorphic markers and the families of
// its tdtinput.dat.
std::string formatChromosomeLog(const ImportRun& run, const ChromosomeImport& part);

}  // namespace triotdt::import
