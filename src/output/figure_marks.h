#pragma once

#include <cstdint>
#include <set>
#include <tuple>
#include <vector>

namespace triotdt::output {

// One window's mark in a series of the figure: where it stands across, in
// pixels, and how high, in -log10 p.
struct Mark {
    double x = 0;
    double value = 0;          // -log10 p, 0 or more
    bool zero = false;         // p = 0, drawn at the smallest p above 0 of its replicates
    bool breakBefore = false;  // the line through the marks does not join this one to the one before
};

// The marks of one series, in memory bounded by the drawing grid rather than
// by the number of windows. While the series is short enough for a line
// through its marks to be read, every mark is kept in order. Beyond that the
// marks that matter are kept exactly (at or above `floorValue`, a p of 0, and
// the `topCount` highest of the others); beneath the floor, one mark per
// cell of the grid (cells `cellWidth` pixels across and `cellHeight` high in
// -log10 p) stands for every mark in that cell, since they would cover one
// another. Marks falling on one another exactly are kept once.
class ThinnedMarks {
public:
    struct Grid {
        double left = 0;            // the pixel of the first column
        double width = 1;           // pixels across
        double cellWidth = 2;       // pixels
        double cellHeight = 0.05;   // -log10 p
        double floorValue = 2;      // -log10 p: p = 0.01
        std::size_t lineLimit = 0;  // longest series still drawn with a line
        std::size_t topCount = 20;
    };

    explicit ThinnedMarks(const Grid& grid);

    void add(const Mark& mark);

    // Whether every mark is kept in order, for a line through them.
    bool inOrder() const { return !thinned_; }
    // The marks to draw: in order while inOrder(); else the exact ones, then
    // one per occupied cell beneath the floor, then the highest of the rest.
    std::vector<Mark> marks() const;

private:
    void thin(const Mark& mark);
    std::size_t cellOf(const Mark& mark) const;

    Grid grid_;
    std::size_t columns_ = 1;
    bool thinned_ = false;
    std::vector<Mark> inOrder_;
    std::vector<Mark> exact_;
    std::set<std::tuple<std::int64_t, double, bool>> exactPlaces_;  // tenths of a pixel across, value, zero
    std::vector<bool> occupied_;
    std::vector<Mark> cells_;
    std::vector<Mark> top_;  // the highest marks of occupied cells, highest first
};

}  // namespace triotdt::output
