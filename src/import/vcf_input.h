#pragma once

#include <string>

#include "import/genotype_table.h"
#include "import/marker_selection.h"

namespace triotdt::import {

// A VCF (plain or bgzip-compressed) or BCF file and a six-column pedigree
// file whose person names are the VCF's sample names. Alleles are numbered in
// the order of the REF and ALT lists (REF is allele 1), all of them kept.
// A marker without an ID is named CHR:POS. With a region, an index beside the
// file (.tbi or .csi) is used when there is one; without, the whole file is
// read and the records outside the region are passed over. Only the
// genotypes of the people `held` chooses are kept.
GenotypeData readVcf(const std::string& vcfPath, const std::string& pedigreePath, const MarkerSelection& selection,
                     const HeldPeople& held = {});

}  // namespace triotdt::import
