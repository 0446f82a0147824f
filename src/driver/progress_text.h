#pragma once

#include <cstdint>
#include <string>

namespace triotdt::driver {

// The progress line of a run on a terminal, e.g.
// "window 12 of 56, 2400 replicates/s, about 3 min 5 s left".
// `windowCount` 0 means the number of windows is not known (then no time is
// estimated); a negative `secondsLeft` leaves the estimate out.
std::string progressText(std::int64_t windowsDone, std::int64_t windowCount, double replicatesPerSecond,
                         double secondsLeft);

}  // namespace triotdt::driver
