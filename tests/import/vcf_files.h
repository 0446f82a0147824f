#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace triotdt::test {

// Copies of a text VCF that only htslib writes: bgzip-compressed with a
// tabix index (.tbi), and BCF with a CSI index (.csi).
void writeIndexedVcfGz(const std::filesystem::path& vcf, const std::filesystem::path& gz);
void writeIndexedBcf(const std::filesystem::path& vcf, const std::filesystem::path& bcf);

// Writes a VCF text bgzip-compressed: the header in one block, then each
// record in a block of its own. Returns the file size after each block (the
// end-of-file block follows the last).
std::vector<std::uint64_t> writeBgzipRecordBlocks(const std::string& vcf, const std::filesystem::path& gz);

}  // namespace triotdt::test
