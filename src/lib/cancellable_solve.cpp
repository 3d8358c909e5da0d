// A solve that also stops when a callable says so. Signals reach only the
// main thread, so a solve on a worker thread never sees Ctrl-C; the thread
// that does can make the callable answer true (a threading.Event's is_set).

#include "lib/cancellable_solve.hpp"

#include "lib/arguments.hpp"
#include "lib/result_classes.hpp"
#include "lib/system_class.hpp"
#include "lib/without_gil.hpp"
#include "solver/solve.hpp"

namespace ovralis::py {

const char* const kSolveCancellableDoc =
    "_solve_cancellable($self, cancelled, max_iter=200, tol=1e-8)\n--\n\n"
    "solve(max_iter, tol) that also stops, raising KeyboardInterrupt, once the\n"
    "callable cancelled() answers true; it is asked at most every 20 ms, from the\n"
    "solving thread with the interpreter lock held.";

PyObject* solve_cancellable(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
    static constexpr Signature signature{"_solve_cancellable", {"cancelled", "max_iter", "tol"}, 1};
    return with_exclusive_store(self, [&](System& store) {
        const Arguments a(signature, args, nargs, kwnames);
        PyObject* cancelled = a.object(0);
        if (!PyCallable_Check(cancelled)) raise_wrong_type(a.name_of(0), "callable", cancelled);
        const std::uint64_t max_iter = a.present(1) ? a.index(1) : 200;
        const double tol = a.real_or(2, 1e-8);
        const SolveResult result = without_gil_interruptible(
            [&](const InterruptPoll& interrupted) {
                return ovralis::solve(store, max_iter, tol, interrupted);
            },
            cancelled);
        return wrap_solve_result(result);
    });
}

}  // namespace ovralis::py
