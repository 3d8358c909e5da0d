#pragma once

// The equations whose Jacobian the constraint analysis ranks: each constraint's
// own, or an equivalent one where its own derivative vanishes where it holds.

#include "residual/constraint_partials.hpp"
#include "system/system.hpp"

namespace ovralis {

// A residual written as a square or a cosine can have a zero derivative at its
// solutions, which makes an independent constraint look implied. For the
// analysis, such constraints are differentiated in an equivalent form that is
// regular where they hold:
// - Angle and AngleBetweenPoints: the signed angle between the directions (the
//   cosine and the arc cosine are flat at 0 and 180 degrees);
// - PointLineDistance with d = 0: the point on the line, as PointOnLine;
// - Distance with d = 0: the two points coincide, as Coincident (two rows);
// - C2CDistance with d = 0: the centres coincide, as Concentric (two rows).
// Every other kind keeps the solver's derivative. Writes the partials of the
// equations into `out` and returns their number (the rows the constraint takes).
// Indices must have been validated.
unsigned analysis_partials(const System& system, const Constraint& constraint,
                           ConstraintPartials& out);

}  // namespace ovralis
