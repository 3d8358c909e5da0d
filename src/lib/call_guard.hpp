#pragma once

// The boundary between the interpreter and C++: every entry point runs its
// body through `guarded`, which turns a C++ exception into the matching Python
// exception and returns the slot's failure value.

#include <type_traits>

#include "lib/py_ref.hpp"

namespace ovralis::py {

// ovralis.InternalError: a broken internal invariant. It derives from
// BaseException so that a plain `except Exception` does not swallow it.
PyObject* create_internal_error_type();

// Sets the Python exception for the C++ exception being handled. Only call
// from inside a catch block.
void set_error_from_current_exception();

template <typename Body>
auto guarded(Body&& body) noexcept -> decltype(body()) {
    using Result = decltype(body());
    try {
        return body();
    } catch (...) {
        set_error_from_current_exception();
        if constexpr (std::is_pointer_v<Result>) {
            return nullptr;
        } else {
            return Result{-1};
        }
    }
}

}  // namespace ovralis::py
