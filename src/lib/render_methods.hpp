#pragma once

// System.to_svg and System._repr_svg_: argument conversion around the core's SVG writer.

#include "lib/py_ref.hpp"

namespace ovralis::py {

extern const char* const kToSvgDoc;

PyObject* to_svg(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* repr_svg(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace ovralis::py
