#pragma once

#include "lib/py_ref.hpp"

namespace ovralis::py {

// The System class: one store per object, bound to the thread that created it.
PyTypeObject* create_system_type();

}  // namespace ovralis::py
