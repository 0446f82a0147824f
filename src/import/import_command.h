#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace triotdt::import {

// The options of `triotdt import`. Exactly one input: ped + map, bfile, or
// vcf + pedigree.
struct ImportOptions {
    std::string ped;                    // PLINK text genotypes (.ped)
    std::string map;                    // its markers (.map)
    std::string bfile;                  // PLINK binary prefix: PREFIX.bed, PREFIX.bim, PREFIX.fam
    std::string vcf;                    // VCF (plain or bgzip-compressed) or BCF
    std::string pedigree;               // six-column pedigree of the VCF's samples
    std::string region;                 // CHR:FROM-TO; empty: every position
    std::string markers;                // file of marker names, one a line; empty: every marker
    std::string chromosome;             // only this chromosome, written in the working folder
    std::string missingGenotype = "0";  // the missing-allele code of a .ped
    std::int32_t replicates = 1000;
    bool dropTrios = false;            // leave out a trio with a problem at any marker
    bool dropMarkers = false;          // leave out a marker at which any trio has a problem
    std::optional<double> maxMissing;  // leave out markers with more missing genotypes
    bool allChildren = false;          // unaffected children form trios too
};

// Registers the description, the options with their help texts and the
// rules of which go together, and the usage on the import's CLI11 command.
void addImportOptions(CLI::App& command, ImportOptions& options);

// Reads the genotype files, writes tdtinput.dat, tdtloci.tsv and
// tdtimport.log as new files in the working folder (with several
// chromosomes, the first two in a new run folder per chromosome, each with a
// log of its own) and prints the summary; notes and warnings go to standard
// error. Throws ImportError for a file it cannot use, an output file that
// exists already or nothing left to analyse, io::RunError for a file that
// cannot be read or written; the message names no command, the caller adds
// "triotdt import: ".
void runImport(const ImportOptions& options);

}  // namespace triotdt::import
