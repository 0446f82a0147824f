#include "output/figure_marks.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <set>

namespace triotdt::output {
namespace {

ThinnedMarks::Grid grid() {
    ThinnedMarks::Grid g;
    g.left = 10;
    g.width = 100;  // 50 columns
    g.lineLimit = 25;
    g.topCount = 3;
    return g;
}

TEST(ThinnedMarks, KeepsEveryMarkInOrderWhileALineCanJoinThem) {
    ThinnedMarks marks(grid());
    for (int i = 0; i < 25; ++i) marks.add({10.0 + i, 0.5, false, i == 7});
    EXPECT_TRUE(marks.inOrder());
    const std::vector<Mark> kept = marks.marks();
    ASSERT_EQ(kept.size(), 25u);
    EXPECT_EQ(kept[24].x, 34.0);
    EXPECT_TRUE(kept[7].breakBefore);
}

// Many marks: every one at or above the floor, or of p = 0, stays (once per
// place), and so do the highest of the rest; beneath the floor, one mark
// per occupied cell.
TEST(ThinnedMarks, ThinsBeneathTheFloorToOneMarkPerCell) {
    ThinnedMarks marks(grid());
    std::uint32_t state = 7;
    const auto uniform = [&] { return ((state = state * 1664525u + 1013904223u) >> 8) / 16777216.0; };
    std::vector<Mark> all;
    for (int i = 0; i < 5000; ++i) {
        const double u = uniform();
        all.push_back({10 + 100 * uniform(), -std::log10(u + 1e-9), u < 0.002, false});
    }
    all.push_back({50, 3.0, true, false});
    all.push_back(all.back());  // the same mark twice is drawn once
    for (const Mark& mark : all) marks.add(mark);
    EXPECT_FALSE(marks.inOrder());
    const std::vector<Mark> kept = marks.marks();

    std::set<std::pair<int, int>> cells;
    std::size_t exact = 0, beneath = 0;
    for (const Mark& mark : all) {
        if (mark.zero || mark.value >= 2) ++exact;
        else cells.emplace(static_cast<int>((mark.x - 10) / 2), static_cast<int>(mark.value / 0.05));
    }
    for (const Mark& mark : kept) beneath += !mark.zero && mark.value < 2;
    EXPECT_EQ(kept.size() - beneath, exact - 1);
    EXPECT_EQ(beneath, cells.size() + 3);  // a mark per cell, and the three highest of the others
    std::vector<double> values;
    for (const Mark& mark : all) {
        if (!mark.zero && mark.value < 2) values.push_back(mark.value);
    }
    std::sort(values.rbegin(), values.rend());
    EXPECT_TRUE(std::any_of(kept.begin(), kept.end(), [&](const Mark& m) { return m.value == values[0]; }));
    EXPECT_LT(kept.size(), all.size() / 2);
}

}  // namespace
}  // namespace triotdt::output
