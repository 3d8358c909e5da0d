#pragma once

// System._solve_cancellable: a solve that a caller on another thread can stop,
// for the worker threads of ovralis.solve_documents.

#include "lib/py_ref.hpp"

namespace ovralis::py {

extern const char* const kSolveCancellableDoc;

PyObject* solve_cancellable(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames);

}  // namespace ovralis::py
