#include "lib/call_guard.hpp"

#include <new>
#include <stdexcept>

#include "solver/interruption.hpp"
#include "system/errors.hpp"

namespace ovralis::py {
namespace {

// Created once at module initialisation; the module refuses a second interpreter,
// so one process-wide type is enough.
PyObject* g_internal_error = nullptr;

}  // namespace

PyObject* create_internal_error_type() {
    if (g_internal_error == nullptr) {
        g_internal_error = PyErr_NewExceptionWithDoc(
            "ovralis.InternalError",
            "A broken internal invariant of ovralis (never the caller's fault).",
            PyExc_BaseException, nullptr);
    }
    return g_internal_error;
}

void set_error_from_current_exception() {
    try {
        throw;
    } catch (const PythonError&) {
        // The indicator is already set by the call that failed.
    } catch (const InvalidReference& error) {
        PyErr_SetString(PyExc_ValueError, error.what());
    } catch (const InvalidArgument& error) {
        PyErr_SetString(PyExc_ValueError, error.what());
    } catch (const DocumentError& error) {
        PyErr_SetString(PyExc_ValueError,
                        (std::string("JSON parse error: ") + error.what()).c_str());
    } catch (const SolveInterrupted&) {
        // A signal handler raised while the solve ran; its exception (usually
        // KeyboardInterrupt) is already set and is what the caller sees.
        if (!PyErr_Occurred()) PyErr_SetNone(PyExc_KeyboardInterrupt);
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const std::exception& error) {
        // InternalError and anything else the core did not expect to throw.
        PyErr_SetString(g_internal_error, error.what());
    } catch (...) {
        PyErr_SetString(g_internal_error, "unknown C++ exception");
    }
}

}  // namespace ovralis::py
