// The extension module `ovralis`: creation and registration of its classes and
// constraint constructor functions.

#include "lib/analysis_class.hpp"
#include "lib/call_guard.hpp"
#include "lib/constraint_class.hpp"
#include "lib/follow_result.hpp"
#include "lib/package_attributes.hpp"
#include "lib/result_classes.hpp"
#include "lib/system_class.hpp"
#include "lib/value_classes.hpp"

namespace ovralis::py {
namespace {

constexpr const char* kModuleDoc =
    "ovralis \xe2\x80\x94 2D Geometry Constraint Solver\n\n"
    "A production-ready constraint solver for 2D geometric systems.\n"
    "Supports points, lines, circles, arcs with 30+ constraint types.\n"
    "Solvers: Levenberg-Marquardt, DogLeg, BFGS, MultiStart, Sparse.";

// m_size 0, not -1: with -1 a repeated import would copy the module's dict
// into a new module instead of calling PyInit_ovralis, which returns the one
// module object and refuses a second interpreter.
PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "ovralis", kModuleDoc, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// The module keeps process-wide types, so it lives in one interpreter only and
// is created once; a repeated initialisation returns the same object.
PyObject* g_module = nullptr;
PyInterpreterState* g_interpreter = nullptr;

// Adds a new reference to `object` to the module under `name`.
void add_object(PyObject* module, const char* name, PyObject* object) {
    if (object == nullptr) throw PythonError{};
    Py_INCREF(object);
    if (PyModule_AddObject(module, name, object) < 0) {
        Py_DECREF(object);
        throw PythonError{};
    }
}

// Adds `object` under `name` and appends the name to __all__.
void add_exported(PyObject* module, PyObject* all, const char* name, PyObject* object) {
    add_object(module, name, object);
    const Ref text = Ref::steal(PyUnicode_FromString(name));
    check(PyList_Append(all, text.get()));
}

Ref create_module() {
    Ref module = Ref::steal(PyModule_Create(&module_def));
    const Ref all = Ref::steal(PyList_New(0));
    add_object(module.get(), "__all__", all.get());

    using TypeFactory = PyTypeObject* (*)();
    const std::pair<const char*, TypeFactory> classes[] = {
        {"Point", create_point_type},
        {"Line", create_line_type},
        {"Circle", create_circle_type},
        {"Arc", create_arc_type},
        {"Constraint", create_constraint_type},
        {"System", create_system_type},
        {"SolveResult", create_solve_result_type},
        {"FollowResult", create_follow_result_type},
        {"DofAnalysis", create_dof_analysis_type},
        {"SolverDiagnostics", create_diagnostics_type},
        {"ConstraintAnalysis", create_constraint_analysis_type},
    };
    for (const auto& [name, create] : classes) {
        // The module keeps the class alive; the factory's reference is handed over.
        const Ref type = Ref::steal(reinterpret_cast<PyObject*>(create()));
        add_exported(module.get(), all.get(), name, type.get());
    }

    const Ref module_name = Ref::steal(PyUnicode_FromString("ovralis"));
    for (PyMethodDef& def : constraint_functions()) {
        const Ref function = Ref::steal(PyCFunction_NewEx(&def, module.get(), module_name.get()));
        add_exported(module.get(), all.get(), def.ml_name, function.get());
    }

    add_object(module.get(), "InternalError", create_internal_error_type());
    add_package_attributes(module.get(), all.get());
    return module;
}

}  // namespace
}  // namespace ovralis::py

PyMODINIT_FUNC PyInit_ovralis() {
    using namespace ovralis::py;
    PyInterpreterState* interpreter = PyInterpreterState_Get();
    if (g_module != nullptr) {
        if (interpreter != g_interpreter) {
            PyErr_SetString(PyExc_ImportError,
                            "ovralis can be imported in only one interpreter per process");
            return nullptr;
        }
        Py_INCREF(g_module);
        return g_module;
    }
    return guarded([&] {
        Ref module = create_module();
        g_interpreter = interpreter;
        g_module = module.get();
        Py_INCREF(g_module);  // the module object lives for the whole process
        return module.release();
    });
}
