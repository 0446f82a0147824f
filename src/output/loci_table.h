#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_names.h"

namespace triotdt::output {

// The table of markers that may lie beside tdtinput.dat.
using io::lociFileName;

// One row of tdtloci.tsv, which the import writes beside tdtinput.dat: what
// locus number `locus` of the input is in the genotype file it came from.
struct LocusRow {
    std::int32_t locus = 0;  // 1-based, as in tdtinput.dat
    std::string chromosome;
    std::int64_t position = 0;
    std::string marker;
    std::vector<std::string> alleles;  // labels of alleles 1, 2, ...

    friend bool operator==(const LocusRow&, const LocusRow&) = default;
};

// The header row, then one tab-separated row per locus: locus number,
// chromosome, position, marker name, allele labels joined by commas (allele
// 1 first). Lines end in LF.
std::string formatLociTable(const std::vector<LocusRow>& rows);

// The rows of a loci table held in `text`; `fileName` names it in messages.
// Throws InputRefused naming the line for a wrong header, a row without five
// fields, a locus number out of turn, a position that is not a whole number
// or an empty allele label. LF and CR LF line ends are both taken.
std::vector<LocusRow> parseLociTable(std::string_view text, const std::string& fileName);

// Reads the loci table at `path`. Throws RunError when it cannot be opened or
// read, InputRefused as parseLociTable.
std::vector<LocusRow> readLociTable(const std::string& path);

// Chromosome X outside its pseudo-autosomal parts, under the names files
// give it: X or 23 (PLINK's number), with or without "chr", in either case.
// (XY, PLINK's 25, is the pseudo-autosomal part, inherited as an autosome.)
bool namesChromosomeX(std::string_view chromosome);

// Windows join neighbouring loci, so the loci of one run must lie on one
// chromosome. Throws InputRefused, naming the chromosomes and how to import
// them one at a time, when `rows` span several.
void refuseSeveralChromosomes(const std::vector<LocusRow>& rows, const std::string& fileName);

}  // namespace triotdt::output
