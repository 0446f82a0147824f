#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/output_unit.h"
#include "shard/manifest.h"

namespace triotdt::shard {

// A shard's piece of each output, per window size: the windows of that size
// it analysed, as a whole run writes them.
enum class PartKind { transmission, results, console, table };
inline constexpr PartKind partKinds[] = {PartKind::transmission, PartKind::results, PartKind::console, PartKind::table};

// "size3.tdttran.txt", "size3.tdtout.txt", "size3.console.txt", "size3.table.tsv".
std::string partName(PartKind kind, std::int32_t size);
// Console lines a run writes before its first heading.
inline constexpr const char* preambleName = "preamble.console.txt";
// A copy of tdtloci.tsv, when the input has one, for the merged figure.
inline constexpr const char* lociCopyName = "tdtloci.tsv";
// With --family-wise: the shard's minima, as the head of tdtfamilywise.tsv
// without windows (their rows, with the reference, are the table parts).
inline constexpr const char* familyWisePartName = "familywise.tsv";

// The default folder of shard K of N: "shard-K-of-N".
std::string defaultShardFolder(const ShardNumber& shard);

// The program's version, as manifests record it.
std::string programVersion();

// Writes the parts of one shard into its folder, then its manifest. The
// folder is created when missing; one that holds a manifest is a finished
// shard and is refused (it is never overwritten); parts left by an attempt
// that did not finish are replaced.
class ShardWriter {
public:
    // `manifest` gives everything but the parts.
    ShardWriter(std::string folder, Manifest manifest);
    ShardWriter(const ShardWriter&) = delete;
    ShardWriter& operator=(const ShardWriter&) = delete;
    ~ShardWriter();

    // The console before the first window size begins.
    io::OutputUnit& preamble() { return *preamble_; }
    // The parts of window size `size` (1-based).
    io::OutputUnit& part(PartKind kind, std::int32_t size);
    // A copy of tdtloci.tsv, stored as a part.
    void copyLociTable(const std::string& text);
    // A part of its own, whole: `text` named `name`.
    void addPart(const std::string& name, const std::string& text);

    // Closes every part, records its bytes and checksum, and writes the
    // manifest as an io::StagedOutput, so that a shard that stops before
    // this has no manifest at all.
    void finish();

    const std::string& folder() const { return folder_; }

private:
    std::string pathOf(const std::string& name) const;
    std::unique_ptr<io::OutputUnit> create(const std::string& name, std::string_view lineEnd);

    std::string folder_;
    Manifest manifest_;
    std::unique_ptr<io::OutputUnit> preamble_;
    std::vector<std::unique_ptr<io::OutputUnit>> parts_;  // size-major, kinds in partKinds order
    std::vector<std::string> names_;                      // of every part, in manifest order
};

}  // namespace triotdt::shard
