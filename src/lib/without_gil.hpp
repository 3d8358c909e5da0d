#pragma once

// Running core work with the interpreter lock released, so that other Python
// threads keep running during a long call.
//
// Only plain C++ values may be touched inside the work: every Python object
// the call needs is converted before and after.

#include <chrono>
#include <utility>

#include "lib/py_ref.hpp"
#include "solver/interruption.hpp"

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

// Whether the call should stop, asked with the interpreter lock held: a
// signal handler raised (Ctrl-C's, on the main thread), or `cancelled`, a
// callable given by a caller on another thread, answers true (then
// KeyboardInterrupt is set). The exception stays set for the caller.
inline bool interruption_pending(PyObject* cancelled) {
    if (PyErr_CheckSignals() < 0) return true;
    if (cancelled == nullptr) return false;
    PyObject* answer = PyObject_CallNoArgs(cancelled);
    if (answer == nullptr) return true;
    const int truth = PyObject_IsTrue(answer);
    Py_DECREF(answer);
    if (truth > 0) PyErr_SetNone(PyExc_KeyboardInterrupt);
    return truth != 0;
}

// Runs `work(poll)` without the interpreter lock, where `poll` is an
// InterruptPoll for the core. At most every 20 ms it takes the lock back for
// a moment to ask interruption_pending(cancelled), and answers true when the
// call should stop.
template <typename Work>
decltype(auto) without_gil_interruptible(Work&& work, PyObject* cancelled = nullptr) {
    using Clock = std::chrono::steady_clock;
    struct Reacquire {
        PyThreadState* state;
        ~Reacquire() { PyEval_RestoreThread(state); }
    } reacquire{PyEval_SaveThread()};
    Clock::time_point next_check = Clock::now();
    const InterruptPoll poll = [&reacquire, &next_check, cancelled] {
        const Clock::time_point now = Clock::now();
        if (now < next_check) return false;
        next_check = now + std::chrono::milliseconds(20);
        PyEval_RestoreThread(reacquire.state);
        const bool stop = interruption_pending(cancelled);
        reacquire.state = PyEval_SaveThread();
        return stop;
    };
    return std::forward<Work>(work)(poll);
}

}  // namespace ovralis::py
