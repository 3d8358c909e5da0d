#pragma once

// The pickled state of a whole store, exact to the bit: every entity list
// (ellipses and arcs of ellipse too), the constraints, the persisted settings,
// the solver flags (analytic Jacobian, sparse solver) and the last scale. The
// variable list is left out: every solve rebuilds it before use.

#include "lib/py_ref.hpp"
#include "system/system.hpp"

namespace ovralis::py {

Ref system_state(const System& system);

// A store rebuilt from system_state's tuple; a malformed state raises
// TypeError or ValueError.
System system_from_state(PyObject* state);

}  // namespace ovralis::py
