#pragma once

#include <string>
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

// A real as the table writes it.
std::string tableReal(double value);

}  // namespace triotdt::output
