#pragma once

#include <stdexcept>
#include <string>

namespace triotdt::import {

// A file the import cannot use. The message names the file, the line or
// record, and what is wrong ("trios.ped, line 4: 15 fields, ..."); the
// command prints it and ends with exit status 1.
struct ImportError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace triotdt::import
