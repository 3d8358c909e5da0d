#pragma once

// Running core work with the interpreter lock released, so that other Python
// threads keep running during a long call.
//
// Only plain C++ values may be touched inside the work: every Python object
// the call needs is converted before and after.

#include <utility>

#include "lib/py_ref.hpp"

namespace ovralis::py {

// Runs `work()` without the interpreter lock and takes the lock back before
// returning or propagating an exception.
template <typename Work>
decltype(auto) without_gil(Work&& work) {
    struct Reacquire {
        PyThreadState* state;
        ~Reacquire() { PyEval_RestoreThread(state); }
    } reacquire{PyEval_SaveThread()};
    return std::forward<Work>(work)();
}

}  // namespace ovralis::py
