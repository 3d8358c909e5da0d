#pragma once

// Pieces shared by the module's small classes: instances that hold one C++
// value, their deallocation, read-only and read-write attribute accessors, and
// the "No constructor defined" rule for classes that Python may not call.

#include <new>
#include <string>
#include <type_traits>

#include "lib/arguments.hpp"
#include "lib/call_guard.hpp"

namespace ovralis::py {

// A Python object holding one plain C++ record by value.
template <typename Value>
struct ValueObject {
    PyObject_HEAD Value value;
};

template <typename Value>
Value& value_of(PyObject* self) {
    return reinterpret_cast<ValueObject<Value>*>(self)->value;
}

// A new instance of `type` (a ValueObject<Value> class) holding `value`.
template <typename Value>
Ref wrap_value(PyTypeObject* type, const Value& value) {
    static_assert(std::is_trivially_destructible_v<Value>);
    Ref object = Ref::steal(type->tp_alloc(type, 0));
    new (&value_of<Value>(object.get())) Value(value);
    return object;
}

// Instances of heap types hold a reference to their type, released here.
// The records are trivially destructible, so there is nothing else to free.
inline void dealloc_value_object(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type);
}

// tp_new of classes that only the module creates.
template <const char* ClassName>
PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError,
                    (std::string("No constructor defined for ") + ClassName).c_str());
    return nullptr;
}

// tp_repr from a function that writes the text.
template <std::string (*Text)(PyObject* self)>
PyObject* repr_of(PyObject* self) {
    return guarded([&] { return new_str(Text(self)).release(); });
}

// Attribute getters for one field of the held record.
template <typename Value, auto Field>
PyObject* get_real(PyObject* self, void*) {
    return PyFloat_FromDouble(value_of<Value>(self).*Field);
}
template <typename Value, auto Field>
PyObject* get_index(PyObject* self, void*) {
    return PyLong_FromUnsignedLongLong(value_of<Value>(self).*Field);
}
template <typename Value, auto Field>
PyObject* get_flag(PyObject* self, void*) {
    return PyBool_FromLong(value_of<Value>(self).*Field);
}

// Setters convert as the class's constructor does; `closure` is the attribute's
// "Class.attribute" name for error texts.
inline int refuse_delete(PyObject* value) {
    if (value != nullptr) return 0;
    PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
    return -1;
}
template <typename Value, auto Field>
int set_real(PyObject* self, PyObject* value, void* closure) {
    if (refuse_delete(value) < 0) return -1;
    return guarded([&] {
        value_of<Value>(self).*Field =
            to_real(value, ValueName{static_cast<const char*>(closure), {}});
        return 0;
    });
}
template <typename Value, auto Field>
int set_flag(PyObject* self, PyObject* value, void* closure) {
    if (refuse_delete(value) < 0) return -1;
    return guarded([&] {
        value_of<Value>(self).*Field =
            to_flag(value, ValueName{static_cast<const char*>(closure), {}});
        return 0;
    });
}

// A METH_FASTCALL | METH_KEYWORDS function, and the same as the PyCFunction
// that PyMethodDef stores.
using FastFunction = PyObject* (*)(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                   PyObject* kwnames);
inline PyCFunction as_py_cfunction(FastFunction function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

// Creates a class from `spec`; registering it in the module is the module's job.
inline PyTypeObject* create_type(PyType_Spec& spec) {
    return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
}

}  // namespace ovralis::py
