#pragma once

// System.follow, System.dimension_range and System.alternatives: argument
// conversion around the core's continuation.

#include <vector>

#include "lib/py_ref.hpp"

namespace ovralis::py {

// Appends the three methods to the System method table.
void append_follow_methods(std::vector<PyMethodDef>& methods);

}  // namespace ovralis::py
