#pragma once

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

// The windows of rows of the table (without its header), read back exactly,
// without their per-haplotype tables. Throws InputRefused naming `where` and
// the line for a row that is not one of the table.
std::vector<window::WindowResult> readTableRows(std::string_view rows, const std::string& where);

// A real as the table writes it.
std::string tableReal(double value);

}  // namespace triotdt::output
