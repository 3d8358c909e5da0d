#include "system/dof.hpp"

#include "residual/residual.hpp"
#include "system/references.hpp"

namespace ovralis {
namespace {

template <class Entity>
std::uint64_t count_free(const std::vector<Entity>& entities) {
    std::uint64_t count = 0;
    for (const Entity& e : entities) count += e.fixed ? 0 : 1;
    return count;
}

DofStatus status_of(std::int64_t dof) {
    if (dof > 0) return DofStatus::UnderConstrained;
    if (dof < 0) return DofStatus::OverConstrained;
    return DofStatus::FullyConstrained;
}

}  // namespace

const char* dof_status_text(DofStatus status) {
    switch (status) {
        case DofStatus::UnderConstrained: return "underconstrained";
        case DofStatus::FullyConstrained: return "fully_constrained";
        case DofStatus::OverConstrained: return "overconstrained";
    }
    return "";
}

// Counts from the fixed flags alone (free design variables are unknowns and
// design-intent equations are equations): neither the variable layout nor the
// constraints' references are consulted, so redundancy goes unnoticed.
DofAnalysis analyze_dof(const System& system) {
    DofAnalysis analysis;
    analysis.free_vars = 2 * count_free(system.points) + count_free(system.circles) +
                         count_free(system.arcs) + count_free(system.ellipses) +
                         count_free(system.arcs_of_ellipse) + count_free(system.design_variables);
    for (const Constraint& c : system.constraints) analysis.equations += equation_count(c);
    analysis.equations += system.equations.size();
    analysis.dof = static_cast<std::int64_t>(analysis.free_vars) -
                   static_cast<std::int64_t>(analysis.equations);
    analysis.status = status_of(analysis.dof);
    return analysis;
}

SolverDiagnostics diagnostics(const System& system, bool include_residuals) {
    SolverDiagnostics result;
    result.points = system.points.size();
    result.fixed_points = system.points.size() - count_free(system.points);
    result.free_points = result.points - result.fixed_points;
    result.lines = system.lines.size();
    result.circles = system.circles.size();
    result.arcs = system.arcs.size();
    result.constraints = system.constraints.size();
    result.dof = analyze_dof(system);
    if (include_residuals) {
        validate_references(system);
        const Eigen::VectorXd residual = residual_vector(system, ResidualForm::Full);
        result.max_residual = max_abs_residual(residual);
        result.residual_cost = sum_of_squares(residual);
    }
    return result;
}

}  // namespace ovralis
