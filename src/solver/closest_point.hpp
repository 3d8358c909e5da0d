// The configuration that brings one point as close to a target as the
// constraints allow: where a drag ends when its target is out of reach.
#pragma once

#include <cstdint>

#include "solver/problem.hpp"

namespace ovralis {

// On a prepared problem whose entities hold a configuration near the answer
// (the end of a drag's path), minimises |P x - target|^2 subject to the
// residual being zero, P picking the dragged point's coordinates: Newton's
// method on the optimality conditions, the constraints' curvature taken by
// central differences of J^T lambda. Each step is kept only when it lowers
// the conditions' residual, so the answer is the local minimum next to the
// start. True when the conditions hold to rounding; the entities then hold
// the answer, else they are back at the start. For sketches of at most
// kClosestPointVariables variables (the Newton matrix is dense).
bool move_to_closest_point(Problem& problem, Eigen::Index x_column, Eigen::Index y_column,
                           double target_x, double target_y, std::uint64_t max_iter);

inline constexpr Eigen::Index kClosestPointVariables = 200;

}  // namespace ovralis
