#include "inference/spatial_grid.hpp"

#include <algorithm>
#include <cmath>

namespace ovralis::inference {
namespace {

// Cells per side is capped so that a grid over a huge sparse drawing stays small.
constexpr std::size_t kMaxCellsPerSide = 2048;

std::size_t clamp_cell(double at, double origin, double width, std::size_t count) {
    const double cell = std::floor((at - origin) / width);
    if (!(cell > 0.0)) return 0;
    return std::min(count - 1, static_cast<std::size_t>(std::min(cell, 1e9)));
}

}  // namespace

SpatialGrid::SpatialGrid(const Box& bounds, std::size_t expected_items) : bounds_(bounds) {
    const std::size_t side = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(expected_items)))), 1,
        kMaxCellsPerSide);
    const double width = bounds.x1 - bounds.x0;
    const double height = bounds.y1 - bounds.y0;
    // Square cells: the longer side gets `side` of them.
    const double cell = std::max(width, height) / static_cast<double>(side);
    if (cell > 0.0 && std::isfinite(cell)) {
        cell_width_ = cell;
        cell_height_ = cell;
        columns_ = std::clamp<std::size_t>(static_cast<std::size_t>(std::ceil(width / cell)), 1, side);
        rows_ = std::clamp<std::size_t>(static_cast<std::size_t>(std::ceil(height / cell)), 1, side);
    }
    cells_.resize(columns_ * rows_);
}

SpatialGrid::CellRange SpatialGrid::cells_of(const Box& box) const {
    return {clamp_cell(box.x0, bounds_.x0, cell_width_, columns_),
            clamp_cell(box.y0, bounds_.y0, cell_height_, rows_),
            clamp_cell(box.x1, bounds_.x0, cell_width_, columns_),
            clamp_cell(box.y1, bounds_.y0, cell_height_, rows_)};
}

void SpatialGrid::insert(std::uint32_t item, const Box& box) {
    if (item >= seen_.size()) seen_.resize(item + 1, 0);
    const CellRange r = cells_of(box);
    for (std::size_t j = r.j0; j <= r.j1; ++j) {
        for (std::size_t i = r.i0; i <= r.i1; ++i) cells_[j * columns_ + i].push_back(item);
    }
}

const std::vector<std::uint32_t>& SpatialGrid::near(const Box& box) {
    ++query_;
    found_.clear();
    const CellRange r = cells_of(box);
    for (std::size_t j = r.j0; j <= r.j1; ++j) {
        for (std::size_t i = r.i0; i <= r.i1; ++i) {
            for (const std::uint32_t item : cells_[j * columns_ + i]) {
                if (seen_[item] == query_) continue;
                seen_[item] = query_;
                found_.push_back(item);
            }
        }
    }
    std::sort(found_.begin(), found_.end());
    return found_;
}

Box box_around(double x, double y, double margin) {
    return {x - margin, y - margin, x + margin, y + margin};
}

Box box_around(double x0, double y0, double x1, double y1, double margin) {
    return {std::min(x0, x1) - margin, std::min(y0, y1) - margin, std::max(x0, x1) + margin,
            std::max(y0, y1) + margin};
}

}  // namespace ovralis::inference
