#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "resampling/resampling_rule.h"
#include "shard/shard_plan.h"
#include "window/window_order.h"

namespace triotdt::driver {

struct ShardOptions {
    shard::ShardNumber shard;
    std::string folder;    // where the parts go; empty: shard-K-of-N
    unsigned threads = 0;  // as for a whole run
    // As for a whole run; every shard of a run must be given the same, and
    // its manifest records them.
    window::WindowSizes sizes;
    resampling::ResamplingRule rule;
};

// `triotdt --shard K/N`: analyses the windows whose first locus lies in the
// K-th of the N locus ranges of the shard plan, each with the random draws of
// its place in a whole run, and writes their lines, as parts, into the
// shard's folder, then the manifest. Reads only the loci those windows
// cover. Never creates tdttran.txt or tdtout.txt. Says on `out` what it did.
void runShard(const ShardOptions& options, std::ostream& out);

// `triotdt --shard-plan N`: one tab-separated row per shard on `out`, with a
// header: its loci, its windows, its work (a family in a replicate of a
// window) and an estimate of the memory it needs in MB, for a cluster job's
// resources. A shard without loci (more shards than loci) leaves its first
// and last locus empty, and `notes` says how many are so. The work of
// adaptive replicates counts their first batch.
void printShardPlan(std::int32_t shardCount, window::WindowSizes sizes, const resampling::ResamplingRule& rule,
                    std::ostream& out, std::ostream& notes);

}  // namespace triotdt::driver
