#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace triotdt::report {

// One marker locus as tdtloci.tsv describes it.
struct Locus {
    std::string chromosome;
    std::int64_t position = 0;  // base pairs
    std::string marker;
    std::vector<std::string> alleles;  // labels of alleles 1, 2, ...
};

inline constexpr const char* lociFileName = "tdtloci.tsv";

// Reads a loci table: the header row "locus chromosome position marker
// alleles" (tab-separated), then one row per locus with its 1-based number in
// order, chromosome, base-pair position, marker name and allele labels joined
// by commas. Lines may end in LF or CR LF. Throws RunError naming the file and
// the line for anything else.
std::vector<Locus> parseLociTable(std::string_view text, const std::string& fileName);

// Reads `fileName` with parseLociTable; RunError when it cannot be read.
std::vector<Locus> readLociTable(const std::string& fileName);

}  // namespace triotdt::report
