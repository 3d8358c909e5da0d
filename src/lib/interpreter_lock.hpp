#pragma once

// Runs pure C++ work with the interpreter lock released, taking it back before
// the result or an exception returns to the caller.

#include <Python.h>

namespace ovralis::py {

template <typename Work>
auto without_interpreter_lock(Work&& work) -> decltype(work()) {
    struct Reacquire {
        PyThreadState* state;
        ~Reacquire() { PyEval_RestoreThread(state); }
    } reacquire{PyEval_SaveThread()};
    return work();
}

}  // namespace ovralis::py
