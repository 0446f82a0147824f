#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "resampling/resampling_rule.h"
#include "shard/checksum.h"
#include "shard/shard_plan.h"

namespace triotdt::shard {

// A part of a shard: a file of its folder, with the bytes it must have.
struct PartRecord {
    std::string name;
    FileSum sum;

    friend bool operator==(const PartRecord&, const PartRecord&) = default;
};

// What a finished shard wrote, and of what: the last file a shard writes.
struct Manifest {
    std::string version;  // of the program that wrote the shard
    FileSum input;        // tdtinput.dat
    // tdtsex.tsv, which makes the run one of chromosome X; none on an autosome.
    std::optional<FileSum> sexes;
    ShardNumber shard;
    std::int32_t lociCount = 0;
    window::WindowSizes sizes;                // analysed (--window-sizes)
    resampling::ResamplingRule rule;          // the stream and the replicates (--seed, --adaptive, --family-wise)
    std::vector<window::WindowSpan> windows;  // per window size, 1 to the largest
    std::vector<PartRecord> parts;

    friend bool operator==(const Manifest&, const Manifest&) = default;
};

inline constexpr const char* manifestName = "manifest.tsv";

// Tab-separated lines, LF line ends:
//   triotdt shard manifest
//   version  0.1.0
//   input    tdtinput.dat  BYTES  CHECKSUM
//   sexes    tdtsex.tsv    BYTES  CHECKSUM     (a run on X only)
//   shard    K  N
//   loci     LOCI
//   sizes    LIST                              (as --window-sizes takes it; 1-7: all)
//   stream   run | counter  SEED               (the run's stream, or --seed SEED)
//   replicates  fixed | adaptive  MAX          (the input's R, or --adaptive MAX)
//   familywise  no | yes                       (--family-wise)
//   windows  SIZE  FIRST_START  LAST_START     (one line per window size)
//   part     NAME  BYTES  CHECKSUM             (one line per part)
//   end
std::string formatManifest(const Manifest& manifest);

// The options behind `sizes` and `rule`, as a command line gives them
// ("--window-sizes 1-3 --seed 2 --adaptive 1000 --family-wise"); empty for
// the defaults.
std::string describeOptions(const Manifest& manifest);

// Throws InputRefused naming `where` and the line for anything else,
// including a manifest cut short (no "end" line).
Manifest parseManifest(std::string_view text, const std::string& where);

}  // namespace triotdt::shard
