#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "familywise/replicate_minima.h"
#include "io/file_names.h"
#include "resampling/resampling_rule.h"
#include "window/window_order.h"
#include "window/window_result.h"

namespace triotdt::output {

using io::familyWiseFileName;

// tdtfamilywise.tsv, which a run with --family-wise leaves beside its
// reports (and a merge of its shards, byte for byte the same): what its
// family-wise p-values rest on, so that runs of several chromosomes can be
// put together (`triotdt combine`). Tab-separated lines, LF line ends:
//
//   triotdt family-wise p-values
//   version     0.1.0
//   stream      philox4x32-10  SEED
//   replicates  R  fixed | adaptive MAX    (R: the first batch of every window)
//   trios       FAMILIES  CHECKSUM | unchecked
//   sizes       LIST                       (as --window-sizes takes it; 1-7: all)
//   statistics  Punamb  Pg  Pe  Pc  Pem
//   minima      R
//   REPLICATE   DEPTH × 5                  (R lines, replicate 0 first)
//   windows
//   HEADER                                 (the results table's, with the reference columns)
//   ROW                                    (one per window, in report order)
//   end
//
// `trios` names the trio list: the checksum of tdttrios.tsv, which the
// import writes beside tdtinput.dat, or `unchecked` for an input without
// one, whose families cannot be checked to be the same trios as another
// run's. A DEPTH is −log10 of the smallest reference tail of that statistic
// over the run's windows in that replicate, 17 significant digits (read
// back exactly). The rows are those of the results table with family-wise
// p-values, followed by each window's reference: the haplotypes in each
// observed sum and −log10 of each observed reference tail (results_table.h).
struct FamilyWiseHead {
    std::string version;
    resampling::ResamplingRule rule;  // its seed, adaptive maximum and familyWise
    std::int32_t replicateCount = 0;  // R, the first batch of every window
    std::int32_t familyCount = 0;
    std::string trioChecksum;  // 16 hexadecimal digits, or "unchecked"
    window::WindowSizes sizes;

    friend bool operator==(const FamilyWiseHead&, const FamilyWiseHead&) = default;
};

inline constexpr const char* uncheckedTrios = "unchecked";

// The text of the file up to and with the header row of its windows.
std::string formatFamilyWiseHead(const FamilyWiseHead& head, const familywise::MinimumTails& minima);
// Its last line.
inline constexpr const char* familyWiseEnd = "end\n";

struct FamilyWiseFile {
    FamilyWiseHead head;
    familywise::MinimumTails minima;
};

// A row of the windows: its text and its window, read back exactly.
using FamilyWiseRow = std::function<void(std::string_view line, const window::WindowResult& window)>;

// Reads the file at `path`; hands `row`, when given, every row in order,
// one line held at a time. Throws InputRefused naming the file and the line
// for text that is not such a file, a file cut short included, and RunError
// when it cannot be read.
FamilyWiseFile readFamilyWiseFile(const std::string& path, const FamilyWiseRow& row = {});

}  // namespace triotdt::output
