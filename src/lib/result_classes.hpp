#pragma once

// SolveResult, DofAnalysis and SolverDiagnostics: read-only copies of what the
// solve and the analyses report. Only the module creates them.

#include "lib/py_ref.hpp"
#include "solver/solve.hpp"
#include "system/dof.hpp"

namespace ovralis::py {

PyTypeObject* create_solve_result_type();
PyTypeObject* create_dof_analysis_type();
PyTypeObject* create_diagnostics_type();

Ref wrap_solve_result(const SolveResult& result);
Ref wrap_dof_analysis(const DofAnalysis& analysis);
Ref wrap_diagnostics(const SolverDiagnostics& diagnostics);

}  // namespace ovralis::py
