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

// Runs `work(poll)` without the interpreter lock, where `poll` is an
// InterruptPoll for the solve engine. At most every 20 ms it takes the lock
// back for a moment to run pending signal handlers (Ctrl-C's among them) and
// answers true when one raised; that exception stays set for the caller.
template <typename Work>
decltype(auto) without_gil_interruptible(Work&& work) {
    using Clock = std::chrono::steady_clock;
    struct Reacquire {
        PyThreadState* state;
        ~Reacquire() { PyEval_RestoreThread(state); }
    } reacquire{PyEval_SaveThread()};
    Clock::time_point next_check = Clock::now();
    const InterruptPoll poll = [&reacquire, &next_check] {
        const Clock::time_point now = Clock::now();
        if (now < next_check) return false;
        next_check = now + std::chrono::milliseconds(20);
        PyEval_RestoreThread(reacquire.state);
        const bool raised = PyErr_CheckSignals() < 0;
        reacquire.state = PyEval_SaveThread();
        return raised;
    };
    return std::forward<Work>(work)(poll);
}

}  // namespace ovralis::py
