#pragma once

// System's methods of design intent: variables, bindings and equations.

#include <vector>

#include "lib/py_ref.hpp"

namespace ovralis::py {

void append_design_intent_methods(std::vector<PyMethodDef>& methods);

}  // namespace ovralis::py
