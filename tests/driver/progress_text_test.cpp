#include "driver/progress_text.h"

#include <gtest/gtest.h>

namespace triotdt::driver {
namespace {

TEST(ProgressText, ShowsWindowsRateAndTimeLeftRoundedUp) {
    EXPECT_EQ(progressText(12, 56, 2400.4, 2.1), "window 12 of 56, 2400 replicates/s, about 3 s left");
    EXPECT_EQ(progressText(1, 56, 10, 185), "window 1 of 56, 10 replicates/s, about 3 min 5 s left");
    EXPECT_EQ(progressText(1, 56, 10, 7500), "window 1 of 56, 10 replicates/s, about 2 h 5 min left");
    EXPECT_EQ(progressText(3, 0, 99.5, 40), "window 3, 100 replicates/s");
    EXPECT_EQ(progressText(3, 9, 1, -1), "window 3 of 9, 1 replicates/s");
}

}  // namespace
}  // namespace triotdt::driver
