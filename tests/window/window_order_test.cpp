#include "window/window_order.h"

#include <gtest/gtest.h>

namespace triotdt::window {
namespace {

TEST(WindowOrder, EveryWindowOfOneToSevenLoci) {
    EXPECT_EQ(countWindows(everyWindow(0).spans), 0);
    EXPECT_EQ(countWindows(everyWindow(1).spans), 1);
    EXPECT_EQ(countWindows(everyWindow(3).spans), 3 + 2 + 1);
    EXPECT_EQ(countWindows(everyWindow(11).spans), 11 + 10 + 9 + 8 + 7 + 6 + 5);
    EXPECT_EQ(everyWindow(11).spans.back(), (WindowSpan{7, 1, 5}));
}

}  // namespace
}  // namespace triotdt::window
