#include "output/figure_marks.h"

#include <algorithm>
#include <cmath>

namespace triotdt::output {

ThinnedMarks::ThinnedMarks(const Grid& grid)
    : grid_(grid), columns_(static_cast<std::size_t>(std::max(1.0, std::ceil(grid.width / grid.cellWidth)))) {}

void ThinnedMarks::add(const Mark& mark) {
    if (thinned_) {
        thin(mark);
        return;
    }
    inOrder_.push_back(mark);
    if (inOrder_.size() <= grid_.lineLimit) return;
    thinned_ = true;
    occupied_.assign(columns_ * static_cast<std::size_t>(std::ceil(grid_.floorValue / grid_.cellHeight)), false);
    for (const Mark& kept : inOrder_) thin(kept);
    inOrder_ = {};
}

std::size_t ThinnedMarks::cellOf(const Mark& mark) const {
    const double across = std::floor((mark.x - grid_.left) / grid_.cellWidth);
    const auto column = static_cast<std::size_t>(std::clamp(across, 0.0, static_cast<double>(columns_ - 1)));
    const auto row = static_cast<std::size_t>(mark.value / grid_.cellHeight);
    return std::min(row * columns_ + column, occupied_.size() - 1);
}

void ThinnedMarks::thin(const Mark& mark) {
    if (mark.zero || mark.value >= grid_.floorValue) {
        // Marks printed at one place are one mark: the SVG gives tenths of a pixel.
        if (exactPlaces_.emplace(std::llround(mark.x * 10), mark.value, mark.zero).second) exact_.push_back(mark);
        return;
    }
    const std::size_t cell = cellOf(mark);
    if (!occupied_[cell]) {
        occupied_[cell] = true;
        cells_.push_back(mark);
        return;
    }
    if (grid_.topCount == 0 || (top_.size() == grid_.topCount && mark.value <= top_.back().value)) return;
    const auto higher = [](const Mark& a, const Mark& b) { return a.value > b.value; };
    top_.insert(std::upper_bound(top_.begin(), top_.end(), mark, higher), mark);
    if (top_.size() > grid_.topCount) top_.pop_back();
}

std::vector<Mark> ThinnedMarks::marks() const {
    if (!thinned_) return inOrder_;
    std::vector<Mark> all = cells_;
    all.insert(all.end(), top_.begin(), top_.end());
    all.insert(all.end(), exact_.begin(), exact_.end());
    return all;
}

}  // namespace triotdt::output
