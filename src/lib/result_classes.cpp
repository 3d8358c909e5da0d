#include "lib/result_classes.hpp"

#include <optional>
#include <string>

#include "lib/record_state.hpp"
#include "lib/type_helpers.hpp"
#include "system/number_text.hpp"

namespace ovralis::py {
namespace {

PyTypeObject* g_solve_result_type = nullptr;
PyTypeObject* g_dof_analysis_type = nullptr;
PyTypeObject* g_diagnostics_type = nullptr;

// ---- SolveResult ----

constexpr char kSolveResultName[] = "SolveResult";

std::string solve_result_repr(PyObject* self) {
    const SolveResult& r = value_of<SolveResult>(self);
    return "SolveResult(converged=" + std::string(flag_text(r.converged)) +
           ", iterations=" + std::to_string(r.iterations) +
           ", max_residual=" + format_scientific(r.max_residual) +
           ", cost=" + format_scientific(r.residual_cost) + ")";
}

PyGetSetDef solve_result_attributes[] = {
    {"converged", get_flag<SolveResult, &SolveResult::converged>, nullptr, nullptr, nullptr},
    {"iterations", get_index<SolveResult, &SolveResult::iterations>, nullptr, nullptr, nullptr},
    {"max_residual", get_real<SolveResult, &SolveResult::max_residual>, nullptr, nullptr, nullptr},
    {"residual_cost", get_real<SolveResult, &SolveResult::residual_cost>, nullptr, nullptr,
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef solve_result_methods[] = {
    kReduceMethod<SolveResult>, kFromStateMethod<SolveResult>, {nullptr, nullptr, 0, nullptr}};

PyType_Slot solve_result_slots[] = {
    {Py_tp_doc, const_cast<char*>("Result of a solve operation.")},
    {Py_tp_new, reinterpret_cast<void*>(no_constructor<kSolveResultName>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<solve_result_repr>)},
    {Py_tp_methods, solve_result_methods},
    {Py_tp_getset, solve_result_attributes},
    {0, nullptr},
};

PyType_Spec solve_result_spec{"ovralis.SolveResult", sizeof(ValueObject<SolveResult>), 0,
                              Py_TPFLAGS_DEFAULT, solve_result_slots};

// ---- DofAnalysis ----

constexpr char kDofAnalysisName[] = "DofAnalysis";

std::string dof_analysis_repr(PyObject* self) {
    const DofAnalysis& a = value_of<DofAnalysis>(self);
    return "DofAnalysis(free_vars=" + std::to_string(a.free_vars) +
           ", equations=" + std::to_string(a.equations) + ", dof=" + std::to_string(a.dof) +
           ", status='" + dof_status_text(a.status) + "')";
}

PyObject* dof_analysis_dof(PyObject* self, void*) {
    return PyLong_FromLongLong(value_of<DofAnalysis>(self).dof);
}

PyObject* dof_analysis_status(PyObject* self, void*) {
    return PyUnicode_FromString(dof_status_text(value_of<DofAnalysis>(self).status));
}

PyGetSetDef dof_analysis_attributes[] = {
    {"free_variables", get_index<DofAnalysis, &DofAnalysis::free_vars>, nullptr, nullptr, nullptr},
    {"constraint_equations", get_index<DofAnalysis, &DofAnalysis::equations>, nullptr, nullptr,
     nullptr},
    {"degrees_of_freedom", dof_analysis_dof, nullptr, nullptr, nullptr},
    {"status", dof_analysis_status, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef dof_analysis_methods[] = {
    kReduceMethod<DofAnalysis>, kFromStateMethod<DofAnalysis>, {nullptr, nullptr, 0, nullptr}};

PyType_Slot dof_analysis_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor<kDofAnalysisName>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<dof_analysis_repr>)},
    {Py_tp_methods, dof_analysis_methods},
    {Py_tp_getset, dof_analysis_attributes},
    {0, nullptr},
};

PyType_Spec dof_analysis_spec{"ovralis.DofAnalysis", sizeof(ValueObject<DofAnalysis>), 0,
                              Py_TPFLAGS_DEFAULT, dof_analysis_slots};

// ---- SolverDiagnostics ----

constexpr char kDiagnosticsName[] = "SolverDiagnostics";

std::string diagnostics_repr(PyObject* self) {
    const SolverDiagnostics& d = value_of<SolverDiagnostics>(self);
    return "Diagnostics(points=" + std::to_string(d.points) + ", lines=" + std::to_string(d.lines) +
           ", circles=" + std::to_string(d.circles) +
           ", constraints=" + std::to_string(d.constraints) + ", dof=" + std::to_string(d.dof.dof) +
           ")";
}

// A fresh copy at every read, so the diagnostics object never changes.
PyObject* diagnostics_dof(PyObject* self, void*) {
    return guarded(
        [&] { return wrap_dof_analysis(value_of<SolverDiagnostics>(self).dof).release(); });
}

PyObject* float_or_none(const std::optional<double>& value) {
    if (value) return PyFloat_FromDouble(*value);
    Py_RETURN_NONE;
}
PyObject* diagnostics_max_residual(PyObject* self, void*) {
    return float_or_none(value_of<SolverDiagnostics>(self).max_residual);
}
PyObject* diagnostics_residual_cost(PyObject* self, void*) {
    return float_or_none(value_of<SolverDiagnostics>(self).residual_cost);
}

using D = SolverDiagnostics;
PyGetSetDef diagnostics_attributes[] = {
    {"num_points", get_index<D, &D::points>, nullptr, nullptr, nullptr},
    {"num_fixed_points", get_index<D, &D::fixed_points>, nullptr, nullptr, nullptr},
    {"num_free_points", get_index<D, &D::free_points>, nullptr, nullptr, nullptr},
    {"num_lines", get_index<D, &D::lines>, nullptr, nullptr, nullptr},
    {"num_circles", get_index<D, &D::circles>, nullptr, nullptr, nullptr},
    {"num_arcs", get_index<D, &D::arcs>, nullptr, nullptr, nullptr},
    {"num_constraints", get_index<D, &D::constraints>, nullptr, nullptr, nullptr},
    {"dof", diagnostics_dof, nullptr, nullptr, nullptr},
    {"max_residual", diagnostics_max_residual, nullptr, nullptr, nullptr},
    {"residual_cost", diagnostics_residual_cost, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef diagnostics_methods[] = {kReduceMethod<SolverDiagnostics>,
                                     kFromStateMethod<SolverDiagnostics>,
                                     {nullptr, nullptr, 0, nullptr}};

PyType_Slot diagnostics_slots[] = {
    {Py_tp_new, reinterpret_cast<void*>(no_constructor<kDiagnosticsName>)},
    {Py_tp_dealloc, reinterpret_cast<void*>(dealloc_value_object)},
    {Py_tp_repr, reinterpret_cast<void*>(repr_of<diagnostics_repr>)},
    {Py_tp_methods, diagnostics_methods},
    {Py_tp_getset, diagnostics_attributes},
    {0, nullptr},
};

PyType_Spec diagnostics_spec{"ovralis.SolverDiagnostics", sizeof(ValueObject<SolverDiagnostics>), 0,
                             Py_TPFLAGS_DEFAULT, diagnostics_slots};

}  // namespace

PyTypeObject* create_solve_result_type() {
    return g_solve_result_type = create_type(solve_result_spec);
}
PyTypeObject* create_dof_analysis_type() {
    return g_dof_analysis_type = create_type(dof_analysis_spec);
}
PyTypeObject* create_diagnostics_type() {
    return g_diagnostics_type = create_type(diagnostics_spec);
}

Ref wrap_solve_result(const SolveResult& result) { return wrap_value(g_solve_result_type, result); }
Ref wrap_dof_analysis(const DofAnalysis& analysis) {
    return wrap_value(g_dof_analysis_type, analysis);
}
Ref wrap_diagnostics(const SolverDiagnostics& diagnostics) {
    return wrap_value(g_diagnostics_type, diagnostics);
}

}  // namespace ovralis::py
