#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace triotdt::haplotype {

// A window of consecutive loci: `size` loci from locus `start` (1-based, as
// the reports number them). Its haplotypes are numbered 1..haplotypeCount.
struct Window {
    std::int32_t start = 1;
    std::int32_t size = 1;
    std::vector<std::int32_t> alleleCount;  // of the window's loci, in order
    // The product of the allele counts, saturated at INT64_MAX.
    std::int64_t haplotypeCount = 1;
    // Too many haplotypes to number with 32-bit codes: the window is reported
    // as skipped and not analysed.
    bool skipped = false;
    // The families taking part, by their places in the input (0-based, in
    // input order): those whose father, mother and child are genotyped at
    // every locus of the window. The window is analysed as if the input held
    // only these.
    std::vector<std::int32_t> families;

    std::int32_t lastLocus() const { return start + size - 1; }
    // The haplotype count as the range of the codes; only for windows not skipped.
    std::int32_t codeCount() const { return static_cast<std::int32_t>(haplotypeCount); }
};

// The product of the allele counts without overflow: saturates at INT64_MAX.
std::int64_t countHaplotypes(std::span<const std::int32_t> alleleCount);

}  // namespace triotdt::haplotype
