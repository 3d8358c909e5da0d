#pragma once

// The separate figures of a drawing: entities joined through shared points,
// and groups whose bounding boxes overlap (a plate and the holes inside it).
// Relations that hold by coincidence between separate parts of a sheet (equal
// lengths, parallel edges) are not design intent, and chaining them across
// the sheet would tie every part's equations to every other's.

#include <vector>

#include "inference/drawing_frame.hpp"

namespace ovralis::inference {

struct Figures {
    std::vector<Index> of_point;  // a figure number per point

    Index of_line(const System& s, Index line) const { return of_point[s.lines[line].p1]; }
    Index of_circle(const System& s, Index circle) const { return of_point[s.circles[circle].center]; }
};

Figures find_figures(const System& system, const DrawingFrame& frame);

}  // namespace ovralis::inference
