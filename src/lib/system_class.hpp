#pragma once

#include <functional>

#include "lib/py_ref.hpp"
#include "system/system.hpp"

namespace ovralis::py {

// The System class: one store per object, bound to the thread that created it.
PyTypeObject* create_system_type();

// Runs `body` on the store of the System `self` with shared access, under the
// same thread check and call guard as the class's own methods; for System
// methods whose bodies live in other files.
PyObject* with_shared_store(PyObject* self, const std::function<Ref(const System&)>& body);

// The same with exclusive access, for methods that change the store.
PyObject* with_exclusive_store(PyObject* self, const std::function<Ref(System&)>& body);

// A new System object owning `store`, bound to the calling thread.
Ref wrap_new_system(System&& store);

}  // namespace ovralis::py
