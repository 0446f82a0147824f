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

TEST(WindowSizes, ReadsListsAndRangesAndWritesThemBackJoined) {
    const struct {
        const char* text;
        const char* read;  // nullptr: refused
    } cases[] = {{"1", "1"},      {"1-3", "1-3"},    {"1,3,5", "1,3,5"}, {"3,1,2", "1-3"}, {"2-4,7,4", "2-4,7"},
                 {"1-7", "1-7"},  {"7-7", "7"},      {"0", nullptr},     {"8", nullptr},   {"3-1", nullptr},
                 {"", nullptr},   {"1,", nullptr},   {"1-", nullptr},    {"-2", nullptr},  {"12", nullptr},
                 {" 1", nullptr}, {"1-2-3", nullptr}};
    for (const auto& c : cases) {
        const std::optional<WindowSizes> sizes = WindowSizes::parse(c.text);
        EXPECT_EQ(sizes.has_value(), c.read != nullptr) << c.text;
        if (sizes && c.read) {
            EXPECT_EQ(sizes->text(), c.read) << c.text;
        }
    }
    EXPECT_TRUE(WindowSizes::parse("1-7")->all());
    EXPECT_FALSE(WindowSizes::parse("1-6")->all());
}

// Sizes left out have no windows; those kept keep their places.
TEST(WindowSizes, SizesLeftOutHaveNoWindows) {
    const WindowSelection selection = everyWindow(11, *WindowSizes::parse("2,5"));
    ASSERT_EQ(selection.spans.size(), 7u);
    EXPECT_EQ(countWindows(selection.spans), 10 + 7);
    EXPECT_EQ(selection.spans[1], (WindowSpan{2, 1, 10}));
    EXPECT_EQ(selection.spans[2].windowCount(), 0);
    EXPECT_EQ(windowsStartingIn(4, 6, 11, *WindowSizes::parse("5"))[4], (WindowSpan{5, 4, 6}));
}

}  // namespace
}  // namespace triotdt::window
