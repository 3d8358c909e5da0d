#pragma once

// The value a constraint's dimension has in the current geometry: the
// reference (driven) dimension a drawing shows.

#include "system/system.hpp"

namespace ovralis {

// Whether the kind has one real that sizes it (d, deg, r, len or t).
bool has_dimension(ConstraintKind kind);

// The value of `c`'s dimension that would make it hold at the entities'
// current values, in the store's units (angles in degrees); NaN where the
// geometry has none. `c` need not be in the store: InvalidReference when an
// entity it names, or one the store's entities name, is missing. The kind must
// have a dimension (has_dimension).
double measure_dimension(const System& system, const Constraint& c);

}  // namespace ovralis
