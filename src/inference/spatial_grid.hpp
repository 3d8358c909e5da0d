#pragma once

// A uniform grid of buckets over the drawing: each item is filed under every
// cell its box overlaps, and a query visits the items filed under the cells a
// box overlaps, each once. Candidate pairs then come from neighbourhoods, not
// from all pairs.

#include <cstdint>
#include <vector>

#include "inference/drawing_frame.hpp"

namespace ovralis::inference {

class SpatialGrid {
public:
    // About one cell per expected item, over `bounds`.
    SpatialGrid(const Box& bounds, std::size_t expected_items);

    void insert(std::uint32_t item, const Box& box);

    // The items whose cells overlap `box`, each once, in ascending order.
    const std::vector<std::uint32_t>& near(const Box& box);

private:
    struct CellRange {
        std::size_t i0, j0, i1, j1;
    };
    CellRange cells_of(const Box& box) const;

    Box bounds_;
    std::size_t columns_ = 1;
    std::size_t rows_ = 1;
    double cell_width_ = 1.0;
    double cell_height_ = 1.0;
    std::vector<std::vector<std::uint32_t>> cells_;
    std::vector<std::uint32_t> seen_;  // per item: the query that last reported it
    std::uint32_t query_ = 0;
    std::vector<std::uint32_t> found_;
};

// A box around a point, or a segment, grown by `margin` on every side.
Box box_around(double x, double y, double margin);
Box box_around(double x0, double y0, double x1, double y1, double margin);

}  // namespace ovralis::inference
