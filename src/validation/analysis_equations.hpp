#pragma once

// The equations whose Jacobian the constraint analysis ranks: each constraint's
// own, or an equivalent one where its own derivative vanishes where it holds.

#include <optional>

#include "residual/constraint_partials.hpp"
#include "residual/residual.hpp"
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

// The derivatives of those equations with respect to the constraint's
// value[slot], for a field bound to an expression that reads unknowns: the
// kind's own field_derivative where the analysis keeps the kind's equation.
// The angles are analysed as the signed angle beta, which meets the field's
// target on one side (cos beta = cos deg, or |beta| = deg, is beta = sigma deg
// there, sigma = +-1 the sign of sin(beta) sin(deg)), so their derivative is
// -sigma pi/180, and 0 along a direction without length, like their row.
// nullopt for a distance of 0 analysed as a coincidence or an incidence, a
// form without the field. Indices must have been validated.
std::optional<ConstraintEntries> analysis_field_derivative(const System& system,
                                                           const Constraint& constraint,
                                                           unsigned slot);

}  // namespace ovralis
