#pragma once

#include "lib/py_ref.hpp"

namespace ovralis::py {

// Point, Line, Circle and Arc: free-standing records for Python code. No
// System method takes or returns them.
PyTypeObject* create_point_type();
PyTypeObject* create_line_type();
PyTypeObject* create_circle_type();
PyTypeObject* create_arc_type();

}  // namespace ovralis::py
