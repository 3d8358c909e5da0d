#pragma once

#include "solver/interruption.hpp"
#include "system/system.hpp"

namespace ovralis {

// Applies `visit` to every point coordinate, radius and minor radius of the
// entities, always in one order; `SystemRef` may be const.
template <class SystemRef, class Visit>
void for_each_entity_length(SystemRef& system, Visit visit) {
    for (auto& p : system.points) {
        visit(p.x);
        visit(p.y);
    }
    for (auto& c : system.circles) visit(c.radius);
    for (auto& a : system.arcs) visit(a.radius);
    for (auto& e : system.ellipses) visit(e.radmin);
    for (auto& e : system.arcs_of_ellipse) visit(e.radmin);
}

// Mean Euclidean distance over all unordered pairs of points (0.0 with fewer
// than two points). Exact over every pair: quadratic in the point count, so
// large sketches share the pairs out to every hardware thread; the result
// does not depend on how many there are. `interrupted` is polled on the
// calling thread while the pairs are summed (pair_distance_sum.hpp).
double mean_point_spacing(const System& system, const InterruptPoll& interrupted = {});

// The length a solve measures in: the mean point spacing, or 1.0 with fewer
// than two points or a spacing below 1e-12 or not finite.
double length_scale(const System& system, const InterruptPoll& interrupted = {});

// Sets system.scale to length_scale(system) and divides every length by it: point
// coordinates, circle and arc radii, ellipse and arc-of-ellipse radmin, and
// the length-valued parameters of the constraints (d, r, len, and the x and y
// of FixedPoint). Design variables keep the caller's units: system.length_unit
// tells expressions the scale until unnormalise sets it back to 1. An
// interruption leaves the system as it was.
void normalise(System& system, const InterruptPoll& interrupted = {});

// Multiplies the same lengths by system.scale.
void unnormalise(System& system);

}  // namespace ovralis
