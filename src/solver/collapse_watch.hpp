// Lengths a solve must not shrink to nothing unless the constraints ask for it.
#pragma once

#include <vector>

#include "solver/merge_watch.hpp"
#include "system/system.hpp"

namespace ovralis {

// A line of zero length satisfies every angle, parallel or tangency of its
// line; a circle or arc of zero radius satisfies every tangency and every
// point on it. Such an answer holds only by collapsing. The watch records,
// at the entities' values when it is made, every line, arc radius (as the
// distances from its centre to its ends and its radius), arc sweep (as the
// distance between its ends) and circle radius
// longer than a floor, and says later whether any of them fell below it, or
// below a ten-thousandth of the unit after shrinking to `shrink` of what it
// was (a solve that heads for a collapse stops short of it). A sketch with a
// dimension that small is held to the floor alone: there a small length may
// be what was asked for.
// Lengths the constraints themselves set to zero (a coincidence or a
// distance of zero between the two ends, also through chains of
// coincidences, or a radius dimension of zero) are not watched. It also
// holds a MergeWatch over two points or two rounds made one, asked apart
// because it costs a sort.
class CollapseWatch {
public:
    // A solve's ending is collapsed by a length shrunk ten-thousandfold; a
    // refinement, which moves by rounding, must not even halve one.
    static constexpr double kSolveShrink = 1e-4;
    static constexpr double kRefinementShrink = 0.5;

    // `unit` is the sketch's length scale in the units the entities hold
    // now: the floor is a millionth of it. The watch keeps a reference to
    // `system` and judges whatever its entities hold when asked.
    CollapseWatch(const System& system, double unit, double shrink = kSolveShrink);

    // A watched line or radius below the floor: cheap enough for every step.
    bool collapsed() const;
    // Whether a converged ending holds only in its residual entries, which
    // shrink with the lengths they are products of: some constraint's
    // geometric error is beyond a thousandth of the unit (or a milliradian)
    // and beyond the square root of tol, which no refinement mends (two lines
    // shrunk to a ten-thousandth of the unit are parallel by their cross
    // product while degrees apart). Not judged in a sketch with a dimension
    // asking for a length that small. For a method's ending.
    bool holds_only_by_shrinking(double tol) const;
    // Two rounds, or two points, that were apart at the start now one
    // (merge_watch.hpp): for a method's ending.
    bool rounds_merged() const { return merges_.rounds_merged(); }
    bool points_merged() const { return merges_.points_merged(); }

private:
    const System& system_;
    struct Pair {
        Index a = 0;
        Index b = 0;
        double least = 0.0;  // the length below which the pair has collapsed
    };
    std::vector<Pair> pairs_;
    std::vector<Index> circles_;
    std::vector<Index> arcs_;
    double unit_ = 0.0;
    double floor_ = 0.0;
    bool shrinking_watched_ = true;
    MergeWatch merges_;
};

}  // namespace ovralis
