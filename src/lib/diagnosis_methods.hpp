#pragma once

// System.measure and System.repairs: argument conversion around the core's
// dimension measures and repairs.

#include "lib/py_ref.hpp"

namespace ovralis::py {

extern const char* const kMeasureDoc;
extern const char* const kRepairsDoc;

PyObject* measure(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* repairs(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace ovralis::py
