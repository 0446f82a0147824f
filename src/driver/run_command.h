#pragma once

#include <vector>

#include "driver/command_line.h"
#include "haplotype/family_data.h"
#include "output/loci_table.h"

namespace triotdt::driver {

// Runs what the command line asks for: changes into its folder, then runs the
// analysis with the table, the figure and the progress line it asks for, a
// shard of it or its plan, the merge of shards, or the import. Returns the exit status. Throws io::RunError and
// io::InputRefused as runAnalysis does, and for the folder, the table,
// the figure and tdtloci.tsv.
int runCommand(const CommandLine& line);

// Throws io::InputRefused when the rows of tdtloci.tsv do not match the
// input's loci and allele counts.
void checkLociMatchInput(const std::vector<output::LocusRow>& loci, const haplotype::FamilyData& data);

}  // namespace triotdt::driver
