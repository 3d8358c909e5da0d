// Core operations whose implementations have not reached this branch yet:
// the solve, the analyses, verification and the JSON document. Each raises
// NotImplementedError naming the Python method. Delete a definition here when
// the core that provides it is merged (the linker reports the duplicate).

#include "lib/py_ref.hpp"
#include "solver/solve.hpp"
#include "system/document.hpp"
#include "system/dof.hpp"
#include "validation/verification.hpp"

namespace ovralis {
namespace {

[[noreturn]] void not_yet(const char* method) {
    py::raise(PyExc_NotImplementedError, std::string("System.") + method + " is not available yet");
}

}  // namespace

// Solve step (solver).
SolveResult solve(System&, std::uint64_t, double) { not_yet("solve"); }

// Degrees of freedom and diagnostics (solver).
const char* dof_status_text(DofStatus) { not_yet("analyze_dof"); }
DofAnalysis analyze_dof(const System&) { not_yet("analyze_dof"); }
SolverDiagnostics diagnostics(const System&, bool) { not_yet("diagnostics"); }

// Verification (validation).
const char* verdict_text(Verdict) { not_yet("verify_solution"); }
VerificationReport verify(const System&, double) { not_yet("verify_solution"); }
std::string summary_line(const VerificationReport&) { not_yet("verify_solution"); }

// JSON document (document).
std::string to_json(const System&) { not_yet("to_json"); }
System from_json(std::string_view) { not_yet("from_json"); }

}  // namespace ovralis
