#pragma once

// What inference measures against: the drawing's size, and an order of the
// entities by their geometry alone, so that a search over candidate relations
// gives the same answer however the entities happen to be numbered.

#include <vector>

#include "system/system.hpp"

namespace ovralis::inference {

struct Box {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
};

struct DrawingFrame {
    Box bounds;          // of every point and every full circle
    double size = 1.0;   // the diagonal of `bounds`; 1 for a drawing with no extent
    // Per entity: its position when the entities of its kind are sorted by
    // coordinates (points), by their points' ranks and radius (the others).
    std::vector<Index> point_rank;
    std::vector<Index> line_rank;
    std::vector<Index> circle_rank;
    std::vector<Index> arc_rank;
};

DrawingFrame measure_drawing(const System& system);

// The rank of the entity an index field of `kind` names.
Index rank_of(const DrawingFrame& frame, EntityKind kind, Index index);

}  // namespace ovralis::inference
