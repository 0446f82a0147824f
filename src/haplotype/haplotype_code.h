#pragma once

#include <cstdint>
#include <span>

#include "haplotype/window.h"

namespace triotdt::haplotype {

// A haplotype of the window as one number: a mixed-radix number whose digit k
// is allele(k) − 1 in radix alleleCount(k), the first locus most significant,
// plus 1 so that codes run from 1 to haplotypeCount. A code means something
// only within its own window.
std::int32_t encodeHaplotype(const Window& window, std::span<const std::int32_t> alleles);

}  // namespace triotdt::haplotype
