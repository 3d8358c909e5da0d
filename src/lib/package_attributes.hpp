#pragma once

// Module attributes that belong to the package rather than to the solver: the
// version, and the names written in Python that the module loads on first use.

#include "lib/py_ref.hpp"

namespace ovralis::py {

// Adds `__version__` and a module-level `__getattr__` that imports the
// pure-Python parts of the package when one of their names is first read, and
// appends those names to `all` so that they are exported like the rest.
void add_package_attributes(PyObject* module, PyObject* all);

}  // namespace ovralis::py
