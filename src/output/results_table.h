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
// With family-wise p-values five more follow, `fwer_Punamb` ... `fwer_Pem`,
// empty while the run's minima are not known and for a skipped window.
//
// `withTails` adds the family-wise reference of each window (the rows of
// tdtfamilywise.tsv, and of a family-wise run's rows while it runs): per
// statistic the haplotypes in its observed sum, `haplotypes_Punamb` ...,
// and −log10 of its observed reference tail, `neg_log10_tail_Punamb` ....
void appendTableHeader(std::string& out, const resampling::ResamplingRule& rule, bool withTails = false);
void appendTableRow(std::string& out, const window::WindowResult& window, const std::vector<LocusRow>& loci,
                    const resampling::ResamplingRule& rule, bool withTails = false);

// Hands `take` the window of each row of the table file at `path`, in
// order, read back exactly, without its per-haplotype tables; a header row
// first is passed over. One line is held at a time. Rows of every form above
// are read alike, and so are their headers. Throws InputRefused naming the
// file and the line for a row that is not one of the table, and RunError
// when the file cannot be read.
void readTableFile(const std::string& path, const std::function<void(const window::WindowResult&)>& take);

// The window of one row of any form, named `where` in messages; throws as
// readTableFile.
window::WindowResult parseTableRow(std::string_view line, const std::string& where);

// The row `line` of any form as a row of the results table, without the
// reference columns, naming `chromosome` where it names none; no line end.
std::string resultsRowOf(std::string_view line, std::string_view chromosome);

// A real as the table writes it.
std::string tableReal(double value);

}  // namespace triotdt::output
