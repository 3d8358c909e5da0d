#pragma once

// Draws a sketch as an SVG document: entities in world coordinates mapped to
// pixels with the y axis pointing up, the drafting marks of its constraints
// (dimensions, glyphs, anchored fixed points), and highlights. Each point's
// mark carries data-point="<index>" and each constraint's marks sit in a group
// with data-constraint="<index>", so a page can find them.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "solver/interruption.hpp"
#include "system/system.hpp"

namespace ovralis {

struct SvgOptions {
    double width = 400.0;          // pixels
    std::optional<double> height;  // pixels; unset: follows the drawing's aspect ratio
    double margin = 24.0;          // pixels kept free around the drawing
    bool labels = true;            // dimensions and constraint glyphs
    // The sketch box (min x, min y, max x, max y) to show, centred, instead of
    // the drawing's own; the picture then keeps no band for annotations.
    std::optional<std::array<double, 4>> bounds;
};

// Entities and constraints to draw in their own colours. Indices that name
// nothing in the store are ignored.
struct SvgHighlights {
    std::vector<Index> free_points;
    std::vector<Index> free_circles;
    std::vector<Index> free_arcs;
    std::vector<Index> conflicting;     // constraint indices
    std::vector<Index> conflict_group;  // constraints taking part in a conflict
};

// The whole document. Entities whose geometry is missing (dangling indices) or
// not finite are left out, so the text is always valid SVG. `interrupted` is
// polled while entities are drawn; once it answers true, SolveInterrupted is thrown.
std::string to_svg(const System& system, const SvgOptions& options,
                   const SvgHighlights& highlights, const InterruptPoll& interrupted = {});

}  // namespace ovralis
