#pragma once

// Automatic dimensioning: the dimensions a draughtsman would add, measured
// from the current geometry, until nothing is left free.

#include <optional>
#include <vector>

#include "system/system.hpp"

namespace ovralis::inference {

// The point nearest the lower-left corner of the drawing's bounding box
// (ties to the lower rank); nullopt for a store without points.
std::optional<Index> lowest_left_point(const System& system);

// Adds dimensions in a draughtsman's order of preference, each kept only when
// the rank check finds it independent of everything before it:
// 1. the datum fixed where it is (a FixedPoint, unless the point is fixed);
// 2. when the whole sketch could still turn about the datum, the point
//    farthest from it fixed too, as a second datum;
// 3. the radii of circles and arcs;
// 4. the lengths of lines;
// 5. the angles between lines that meet and are not parallel;
// 6. each point's distance from the lines that meet at the datum (its
//    edges), then from the datum itself, then from the second datum (one
//    baseline convention), nearest first;
// 7. any point still free fixed where it is.
// Returns the added constraints' positions, ascending. Indices must be valid.
std::vector<Index> autodimension(System& system, Index datum);

}  // namespace ovralis::inference
