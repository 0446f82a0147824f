#pragma once

#include <string>

namespace triotdt::driver {

// "triotdt 0.1.0 (commit 0123456789ab)": the version and the git commit the
// program was built from, looked up at every build (cmake/version.cmake).
std::string versionText();

}  // namespace triotdt::driver
