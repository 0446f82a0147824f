#pragma once

#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "import/genotype_table.h"

namespace triotdt::import {

struct ImportRun;

// The place of a chromosome in the order geneticists expect: numbered
// chromosomes by number (1, 2, ..., 10, ...), then X, Y, XY and MT, then every
// other name in byte order. A "chr" prefix and the case of letters do not
// count: the names of one chromosome rank alike.
using ChromosomeRank = std::tuple<int, long long, std::string>;
ChromosomeRank chromosomeRank(std::string_view chromosome);

// Y and the mitochondrial genome, under the names and numbers files give
// them: Y, 24, chrY, MT, M, 26, chrM, chrMT, ... The import does not model
// their inheritance and leaves them out. X (X, 23, chrX) has a run folder of
// its own, analysed as X; XY (25), X's pseudo-autosomal part, is imported as
// an autosome.
bool isLeftOut(std::string_view chromosome);

// The same chromosome under either naming: "chr1" and "1", "chrX" and "X".
bool sameChromosome(std::string_view a, std::string_view b);

// One chromosome may go by two names in one file, with and without "chr"
// ("1" and "chr1"), as --chromosome and --region take them: its loci all
// take the name first in byte order ("1"), so that they split and are
// written as one chromosome. Returns the names of each chromosome named in
// more than one way, in byte order.
std::vector<std::vector<std::string>> unifyChromosomeNames(std::vector<Locus>& loci);

// The run folder of a chromosome's analysis: "chr" and its name without a
// "chr" prefix, any character other than a letter, digit, '.', '-' or '_'
// replaced by '_'; chrX and chrXY for X and XY under any of their names.
std::string chromosomeFolder(std::string_view chromosome);

// Leaves out the markers of Y and MT and, with --chromosome, those of other
// chromosomes, and splits the rest (in chromosome order) into one analysis
// per chromosome, X's marked as X; one only, in the working folder, when they are
// all on one chromosome or --chromosome names it. Throws ImportError when
// --chromosome names none of them or two chromosomes would share a folder.
void splitChromosomes(ImportRun& run);

}  // namespace triotdt::import
