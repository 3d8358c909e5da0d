#pragma once

// The partial derivatives of one constraint, dispatched to its kind.

#include "residual/constraint_partials.hpp"
#include "system/system.hpp"

namespace ovralis {

// The exact derivatives of a constraint's residual entries with respect to every
// parameter they read, at the entities' current values, with the degenerate
// configurations guarded: a guarded term is left out rather than divided by a
// vanishing length. Replaces the previous contents of `out`. A parameter may
// appear more than once (the same point named twice); its terms add up.
// Indices must have been validated.
void differentiate(const System& system, const Constraint& constraint, ConstraintPartials& out);

}  // namespace ovralis
