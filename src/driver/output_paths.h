#pragma once

#include <string>

namespace triotdt::driver {

// True for "-" and for any path that names the file standard output is
// (/dev/stdout, /proc/self/fd/1, ...): the table is then written there.
bool namesStandardOutput(const std::string& path);

// Checks the --table and --plot paths before the run creates any file, in
// the working folder the run uses. Throws UsageError when one names a report
// of the run or both name one file (files are compared, not strings: "x.svg"
// and "./x.svg" are one), and io::RunError when a file exists already or
// its folder is missing, is not a folder or cannot be written. Empty paths
// are not asked for; `tablePath` may name standard output.
void checkOutputPaths(const std::string& tablePath, const std::string& plotPath);

}  // namespace triotdt::driver
