#pragma once

#include <functional>
#include <string>
#include <vector>

#include "import/genotype_table.h"
#include "import/import_report.h"
#include "import/pedigree.h"
#include "import/trio_rule.h"
#include "io/output_unit.h"
#include "io/staged_output.h"
#include "output/loci_table.h"

namespace triotdt::import {

// The files an import writes: per chromosome with something to analyse its
// tdtinput.dat and tdtloci.tsv (and on X tdtsex.tsv), in the working folder
// or in a run folder of its own with its tdtimport.log, and the
// tdtimport.log of the working folder. None is ever overwritten.

inline constexpr const char* logName = "tdtimport.log";

// Fails early, before a long read, when an output file is there already.
void checkOutputsAbsent();

// Refuses run folders that exist, before anything is written.
void refuseExistingFolders(const std::vector<std::string>& folders);

// The files of `run`, in the order they are written, and in `folders` the
// run folders they need.
std::vector<io::NewFile> importFiles(const ImportRun& run, std::vector<std::string>& folders);

// Writes to `unit` tdtinput.dat for the kept trios at the kept loci, in kept
// order: alleles renumbered to those carried, a missing genotype as 0 0.
// Family by family, so that a chromosome of a large study is never held
// twice, nor as text. `familyDone`, when given, is called after each
// family's records.
void writeKeptInput(io::OutputUnit& unit, const GenotypeTable& table, const std::vector<Trio>& trios,
                    const RuleOutcome& outcome, std::int32_t replicateCount,
                    const std::function<void()>& familyDone = {});

// tdttrios.tsv: a header row, then the family, child, father and mother of
// each family of tdtinput.dat, in its order. Every run folder of one import
// gets the same list when it keeps the same trios, so runs can tell whether
// family f is the same trio in each (whose exchange in a replicate is then
// one event across chromosomes).
std::string formatTrioList(const ImportRun& run, const RuleOutcome& outcome);

// The rows of tdtloci.tsv for the kept loci, numbered as in the analysis
// input, with the labels of the carried alleles.
std::vector<output::LocusRow> buildLociRows(const GenotypeTable& table, const RuleOutcome& outcome);

}  // namespace triotdt::import
