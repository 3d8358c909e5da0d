// Refines a point that a method's own stopping test accepted until it is
// exact to rounding, for as long as the refinement pays. A point already at
// the rounding floor is not moved.
#pragma once

#include <cstdint>

#include "solver/collapse_watch.hpp"
#include "solver/problem.hpp"

namespace ovralis {

// Starting from the point the entities hold, takes Gauss–Newton steps
// (analytic Jacobian, factorised by sparse LU when it is square and sound,
// else the least-norm step in its row space, and reused while its steps
// pay) and keeps each one only while it lowers the cost by a real factor and
// collapses nothing `watch` guards; a step from a fresh Jacobian that does
// not is kept only when a few fresh steps after it do, together. Stops where
// that fails, at a step that moves no variable beyond rounding (relative to
// the variable or to `length_scale`, every variable being a length), or after
// `max_steps` kept steps. Returns the number of steps kept; the entities hold
// the last kept point.
std::uint64_t polish(Problem& problem, double length_scale, std::uint64_t max_steps,
                     const CollapseWatch& watch);

}  // namespace ovralis
