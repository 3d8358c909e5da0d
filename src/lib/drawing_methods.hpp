#pragma once

// System methods for drawings: infer_constraints and autodimension (the
// core's inference and dimensioning), and to_dxf (the package's Python DXF writer).

#include <vector>

#include "lib/py_ref.hpp"

namespace ovralis::py {

// Appends the methods' definitions to the System class's method table.
void append_drawing_methods(std::vector<PyMethodDef>& methods);

}  // namespace ovralis::py
