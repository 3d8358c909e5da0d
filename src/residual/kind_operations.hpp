#pragma once

// What each constraint kind computes, looked up by kind in one place.

#include "residual/constraint_partials.hpp"
#include "residual/residual.hpp"

namespace ovralis {

// A kind's equation, its derivative, its geometric error and the measure of
// its dimension, written side by side in the kind's family file
// (point_line_kinds, circle_arc_kinds, ellipse_kinds).
struct KindOperations {
    // The residual entries at the entities' current values.
    ConstraintEntries (*residual)(const System&, const Constraint&);
    // Appends the residual's partial derivatives to the buffer.
    void (*differentiate)(const System&, const Constraint&, ConstraintPartials&);
    // Lengths divided by the scale, angles in radians; never negative.
    double (*geometric_error)(const System&, const Constraint&, double length_scale);
    // The value of the kind's dimension that would make it hold at the
    // entities' current values (a distance's d, an angle's deg, a radius's r),
    // in the store's units; NaN where the geometry has none (an angle at a line
    // without length). Null for a kind without a dimension.
    double (*measure)(const System&, const Constraint&) = nullptr;
    // The residual entries' derivatives with respect to value[slot], for a
    // field bound to an expression; only kinds with real fields have one.
    ConstraintEntries (*field_derivative)(const System&, const Constraint&, unsigned slot) =
        nullptr;
};

const KindOperations& kind_operations(ConstraintKind kind);

}  // namespace ovralis
