#pragma once

// Repair: one way to make a failing sketch solvable, as System.repairs reports
// it. Only the module creates them; they pickle and copy.

#include "lib/py_ref.hpp"
#include "validation/repairs.hpp"

namespace ovralis::py {

PyTypeObject* create_repair_type();
Ref wrap_repair(const Repair& repair);

}  // namespace ovralis::py
