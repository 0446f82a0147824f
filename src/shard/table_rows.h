#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "window/window_result.h"

namespace triotdt::shard {

// The windows of rows of the results table (without its header), read back
// exactly: the reals have 17 significant digits. Columns are found by the
// names of the table's header, so it follows the writer. Throws InputRefused
// naming `where` and the line for a row that is not one of the table.
std::vector<window::WindowResult> readTableRows(std::string_view rows, const std::string& where);

}  // namespace triotdt::shard
