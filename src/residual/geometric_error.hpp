#pragma once

// How far one constraint is from holding, in units that compare across kinds.

#include "system/system.hpp"

namespace ovralis {

// The error of one constraint at the store's current values in consistent units:
// lengths divided by length_scale, angles in radians; 0 when it holds exactly, NaN propagates.
// Never negative. A line (or ray) without length meets no angle: such angle
// errors are pi/2. Indices must have been validated.
double geometric_error(const System& system, const Constraint& c, double length_scale);

}  // namespace ovralis
