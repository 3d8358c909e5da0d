#pragma once

#include <cstdint>
#include <optional>

#include "system/system.hpp"

namespace ovralis {

enum class DofStatus { UnderConstrained, FullyConstrained, OverConstrained };

// "underconstrained", "fully_constrained", "overconstrained".
const char* dof_status_text(DofStatus status);

struct DofAnalysis {
    std::uint64_t free_vars = 0;
    std::uint64_t equations = 0;
    std::int64_t dof = 0;
    DofStatus status = DofStatus::FullyConstrained;
};

struct SolverDiagnostics {
    std::uint64_t points = 0;
    std::uint64_t fixed_points = 0;
    std::uint64_t free_points = 0;
    std::uint64_t lines = 0;
    std::uint64_t circles = 0;
    std::uint64_t arcs = 0;
    std::uint64_t constraints = 0;
    DofAnalysis dof;
    std::optional<double> max_residual;
    std::optional<double> residual_cost;
};

// A pure count from the fixed flags and the equation counts.
DofAnalysis analyze_dof(const System& system);

// Entity counts, the count above and, on request, the full residual's largest
// entry and sum of squares (validates references first).
SolverDiagnostics diagnostics(const System& system, bool include_residuals);

}  // namespace ovralis
