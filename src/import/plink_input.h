#pragma once

#include <string>
#include <string_view>

#include "import/genotype_table.h"
#include "import/marker_selection.h"

namespace triotdt::import {

// PLINK text files: the .map (chromosome, marker, genetic distance, position)
// and the .ped (six pedigree fields, then two allele labels per marker; "0"
// is a missing allele, or `missingCode` when given, and a genotype with one
// missing allele is missing). A .map line may leave out the genetic distance.
// Alleles are numbered in the order in which their labels first appear in the
// .ped, person after person. Only the genotypes of the people `held` chooses
// are kept.
GenotypeData readPlinkText(const std::string& pedPath, const std::string& mapPath, const MarkerSelection& selection,
                           std::string_view missingCode = "0", const HeldPeople& held = {});

// PLINK binary files PREFIX.bed (SNP-major), PREFIX.bim (chromosome, marker,
// genetic distance, position, allele 1, allele 2) and PREFIX.fam. Allele 1 of
// the .bim is allele 1 of the import, its allele 2 the next; an allele "0"
// (a marker with one allele) gets no number. Only the genotypes of the people
// `held` chooses are kept.
GenotypeData readPlinkBinary(const std::string& prefix, const MarkerSelection& selection, const HeldPeople& held = {});

}  // namespace triotdt::import
