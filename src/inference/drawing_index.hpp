#pragma once

// Where the entities of a drawing are: grids of points, lines and rounds
// (circles and arcs), and which lines and arcs end at each point.

#include <cstdint>
#include <vector>

#include "inference/drawing_frame.hpp"
#include "inference/spatial_grid.hpp"
#include "residual/plane_geometry.hpp"

namespace ovralis::inference {

struct DrawingIndex {
    // Each box is grown by `margin`, the length tolerance.
    DrawingIndex(const System& system, const DrawingFrame& frame, double margin);

    SpatialGrid points;
    SpatialGrid lines;
    SpatialGrid rounds;  // item i < circles.size(): circle i; otherwise arc i - circles.size()
    std::vector<std::vector<Index>> lines_at_point;
    std::vector<std::vector<Index>> arcs_at_point;  // arcs that start or end there
};

inline Vec2 point_at(const System& s, Index p) { return position(s.points[p]); }

// Whether p, seen from the arc's centre, lies within the arc's counter-clockwise
// sweep from start to end, or within `margin` (an angle) of it.
bool within_sweep(const System& s, const Arc& arc, const Vec2& p, double margin);

// The box of a full circle about `center`.
Box round_box(const System& s, Index center, double radius, double margin);

}  // namespace ovralis::inference
