// The judge of a converged solve: every constraint holds in geometric terms.
#pragma once

#include "system/system.hpp"

namespace ovralis {

// The tolerance a constraint's geometric error must meet: tol, read as a
// length relative to length_scale or as an angle in radians, but never less
// than rounding allows, which is 16 ulps of the sketch's largest coordinate
// measured in length_scale (a sketch far from the origin cannot place its
// points more finely than that).
double geometric_tolerance(const System& system, double tol, double length_scale);

// True when every constraint, the eliminated kinds included, has a geometric
// error within geometric_tolerance, and so has every design-intent equation
// (its relative error, equation_error). A NaN error fails, so a collapsed line,
// whose direction is undefined, satisfies no Parallel or Perpendicular.
bool geometry_holds(const System& system, double tol, double length_scale);

}  // namespace ovralis
