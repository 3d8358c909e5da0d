#pragma once

// The Python C API with RAII ownership and C++ exceptions for error flow.
//
// Inside the module, a failing Python call throws PythonError: the Python error
// indicator is already set and the exception only unwinds to the boundary
// (call_guard.hpp), which returns the failure value to the interpreter.

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <utility>

namespace ovralis::py {

// Thrown when the Python error indicator has been set.
struct PythonError {};

// Sets `type` with `message` and throws PythonError.
[[noreturn]] inline void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw PythonError{};
}

// One owned (strong) reference, released on destruction.
class Ref {
public:
    Ref() = default;
    // Takes over a new reference; nullptr means the call that produced it failed.
    static Ref steal(PyObject* object) {
        if (object == nullptr) throw PythonError{};
        return Ref(object);
    }
    static Ref borrow(PyObject* object) {
        Py_INCREF(object);
        return Ref(object);
    }

    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    ~Ref() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    // Hands the reference to the caller (typically back to the interpreter).
    PyObject* release() { return std::exchange(object_, nullptr); }

private:
    explicit Ref(PyObject* object) : object_(object) {}
    PyObject* object_ = nullptr;
};

// Throws PythonError when a C API call that returns -1 on failure failed.
inline void check(int status) {
    if (status < 0) throw PythonError{};
}

inline Ref new_int(unsigned long long value) {
    return Ref::steal(PyLong_FromUnsignedLongLong(value));
}
inline Ref new_float(double value) { return Ref::steal(PyFloat_FromDouble(value)); }
inline Ref new_bool(bool value) { return Ref::steal(PyBool_FromLong(value)); }
inline Ref new_str(std::string_view text) {
    return Ref::steal(
        PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size())));
}
inline Ref none() { return Ref::borrow(Py_None); }

// A tuple that takes over the given references.
template <typename... Items>
Ref new_tuple(Items&&... items) {
    Ref tuple = Ref::steal(PyTuple_New(sizeof...(Items)));
    Py_ssize_t position = 0;
    (PyTuple_SET_ITEM(tuple.get(), position++, items.release()), ...);
    return tuple;
}

// A list with one element per item of `range`, converted by `convert` (which returns a Ref).
template <typename Range, typename Convert>
Ref new_list(const Range& range, Convert convert) {
    Ref list = Ref::steal(PyList_New(0));
    for (const auto& item : range) {
        Ref element = convert(item);
        check(PyList_Append(list.get(), element.get()));
    }
    return list;
}

// "true"/"false", as every representation of the module prints a flag.
inline const char* flag_text(bool value) { return value ? "true" : "false"; }

}  // namespace ovralis::py
