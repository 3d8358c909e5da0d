// A lower bound of the solve's length scale in one pass over the points.
#pragma once

#include "system/system.hpp"

namespace ovralis {

// At most length_scale(system) (the mean distance over all pairs of points,
// which takes a quadratic pass) and, for points spread in any ordinary way,
// within a small factor of it. A geometric error within tolerance
// at this scale is within tolerance at the true one, so the convergence
// judge can be asked cheaply whether a sketch already holds.
double length_scale_lower_bound(const System& system);

}  // namespace ovralis
