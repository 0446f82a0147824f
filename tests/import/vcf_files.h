#pragma once

#include <filesystem>

namespace triotdt::test {

// Copies of a text VCF that only htslib writes: bgzip-compressed with a
// tabix index (.tbi), and BCF with a CSI index (.csi).
void writeIndexedVcfGz(const std::filesystem::path& vcf, const std::filesystem::path& gz);
void writeIndexedBcf(const std::filesystem::path& vcf, const std::filesystem::path& bcf);

}  // namespace triotdt::test
