#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "output/loci_table.h"
#include "resampling/resampling_rule.h"
#include "window/window_result.h"

namespace triotdt::output {

// The results table: tab-separated, LF line ends, a header row, then one row
// per window in report order. Reals are written with 17 significant digits
// (NaN, Inf and -Inf where the value is not finite), so that a reader gets
// back the exact double. Marker columns are empty without `loci`; a skipped
// window has empty values and says why in `skipped_reason`.
//
// When the counter-based stream made the p-values, four columns follow, the
// same on every row, so that a reader of the table alone can repeat the run:
// `stream` (philox4x32-10), `seed`, `replicate_rule` (fixed or adaptive) and
// `max_replicates` (the most replicates a window could take). With the run's
// stream there are none, and the table is the one the program always wrote.
void appendTableHeader(std::string& out, const resampling::ResamplingRule& rule);
void appendTableRow(std::string& out, const window::WindowResult& window, const std::vector<LocusRow>& loci,
                    const resampling::ResamplingRule& rule);

// Hands `take` the window of each row of the table file at `path`, in
// order, read back exactly, without its per-haplotype tables; a header row
// first is passed over. One line is held at a time. Rows with or without the
// columns of the counter-based stream are read alike, and so are both
// headers. Throws InputRefused naming the file and the line for a row that is
// not one of the table, and RunError when the file cannot be read.
void readTableFile(const std::string& path, const std::function<void(const window::WindowResult&)>& take);

// A real as the table writes it.
std::string tableReal(double value);

}  // namespace triotdt::output
