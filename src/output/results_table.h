#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "output/loci_table.h"
#include "window/window_result.h"

namespace triotdt::output {

// The results table: tab-separated, LF line ends, a header row, then one row
// per window in report order. Reals are written with 17 significant digits
// (NaN, Inf and -Inf where the value is not finite), so that a reader gets
// back the exact double. Marker columns are empty without `loci`; a skipped
// window has empty values and says why in the last column.
void appendTableHeader(std::string& out);
void appendTableRow(std::string& out, const window::WindowResult& window, const std::vector<LocusRow>& loci);

// Hands `take` the window of each row of the table file at `path`, in
// order, read back exactly, without its per-haplotype tables; a header row
// first is passed over. One line is held at a time. Throws InputRefused
// naming the file and the line for a row that is not one of the table, and
// RunError when the file cannot be read.
void readTableFile(const std::string& path, const std::function<void(const window::WindowResult&)>& take);

// A real as the table writes it.
std::string tableReal(double value);

}  // namespace triotdt::output
