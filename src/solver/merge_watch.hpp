// Points, circles and arcs that a solve must not make one unless the
// constraints ask for it.
#pragma once

#include <vector>

#include "solver/close_pairs.hpp"
#include "system/system.hpp"

namespace ovralis {

// Two holes of a bolt circle folded onto each other satisfy its chords with
// one hole fewer: such an answer holds only by merging. The watch records
// the entities' values when it is made and says later whether two circles
// or arcs that differed then are now one (centres within a floor, radii
// within it), or two points that were apart then (farther than a thousand
// floors) now lie within the floor of each other.
//
// Two rounds made one are never an answer unless their centres are joined
// by the constraints. Two points made one are a sign to look for another
// answer, not a verdict: the constraints can place two points at one spot
// in more ways than a cheap test can see (a line's end on the tangent of an
// ellipse, on the ellipse's axis), so a solve keeps such an ending when it
// finds no other. Neither test counts what the constraints join: points made
// one by coincidences, distances of zero, a parameter of 0 or 1 along a
// line, a midpoint of two joined points, the centres of concentric circles
// or of circles at a centre distance of zero, an ellipse's centre and
// focus; two fixed points; two points that both lie on the same two lines
// or rounds (where the curves meet or touch), a horizontal or vertical
// alignment of the two counting as a line.
//
// Unlike the collapse watch it sorts every point, so it is meant for a
// method's ending, not for every step.
class MergeWatch {
public:
    // `floor` is the distance within which two points are one.
    MergeWatch(const System& system, double floor);

    bool rounds_merged() const;
    bool points_merged() const;

private:
    bool joined_by_constraints(Index a, Index b) const;
    bool on_two_common_curves(Index a, Index b) const;

    const System& system_;
    double floor_ = 0.0;
    std::vector<PlanePoint> start_;  // every point as it was
    std::vector<Index> joined_root_;  // per point: its class under the joining constraints
    std::vector<Index> level_root_;   // per point: its class on one horizontal line
    std::vector<Index> plumb_root_;   // and on one vertical line
    std::vector<bool> pinned_;        // per point: fixed, or held by a FixedPoint constraint
    std::vector<double> start_radius_;  // circles, then arcs
};

}  // namespace ovralis
