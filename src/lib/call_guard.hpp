#pragma once

// The boundary between the interpreter and C++: every entry point runs its
// body through `guarded`, which readies the thread for C++ exceptions
// (thread_readiness.hpp), turns a C++ exception into the matching Python
// exception and returns the slot's failure value.

#include <type_traits>

#include "lib/py_ref.hpp"
#include "lib/thread_readiness.hpp"

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
    constexpr auto failure = [] {
        if constexpr (std::is_pointer_v<Result>) {
            return Result{nullptr};
        } else {
            return Result{-1};
        }
    };
    if (!prepare_thread_for_exceptions()) {
        PyErr_NoMemory();
        return failure();
    }
    try {
        return body();
    } catch (...) {
        set_error_from_current_exception();
        return failure();
    }
}

}  // namespace ovralis::py
