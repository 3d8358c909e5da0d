// The Jacobian the solve methods iterate with, always compressed: the
// analytic triplets, or central differences taken column by column.
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "expression/bound_fields.hpp"
#include "jacobian/central_difference.hpp"
#include "jacobian/column_dependencies.hpp"
#include "jacobian/jacobian.hpp"
#include "system/errors.hpp"
#include "system/variable_layout.hpp"

namespace ovralis {
namespace {

// The central-difference Jacobian, column by column. Around a scattered x, a
// full write-back of x with entry j moved changes exactly the parameters of
// column j's group, so moving only those and re-evaluating only the constraints
// that read them gives the same differences as a full evaluation; every other
// row's difference is exactly zero and is left out.
Eigen::SparseMatrix<double> central_difference_sparse(System& system, const Eigen::VectorXd& x,
                                                      Eigen::Index rows,
                                                      const ColumnDependencies& deps) {
    const auto columns = static_cast<Eigen::Index>(system.layout.variables.size());
    if (x.size() < columns) throw InternalError("variable vector shorter than the variable list");
    if (residual_size(system, central_difference_form(system, rows)) < rows) {
        throw InternalError("residual vector shorter than the Jacobian's " + std::to_string(rows) +
                            " rows");
    }
    scatter(system, x);

    std::size_t capacity = 0;
    for (const std::size_t k : deps.constraints) capacity += equation_count(system.constraints[k]);
    Eigen::SparseMatrix<double> jacobian(rows, columns);
    jacobian.reserve(static_cast<Eigen::Index>(capacity));

    std::vector<double> saved;
    std::vector<ConstraintEntries> plus;
    const auto move_group = [&](std::span<const Parameter> members, double value) {
        for (const Parameter& p : members) {
            set_parameter_value(system, p, scatter_value(system, p.kind, value));
        }
    };
    for (Eigen::Index j = 0; j < columns; ++j) {
        const std::span<const Parameter> members = deps.members_of(j);
        const std::span<const std::size_t> dependents = deps.constraints_of(j);
        saved.clear();
        for (const Parameter& p : members) saved.push_back(parameter_value(system, p));

        const double v = x[j];
        move_group(members, v + kDifferenceStep);
        plus.clear();
        for (const std::size_t k : dependents) {
            plus.push_back(constraint_residual(system, system.constraints[k]));
        }
        move_group(members, v + (-kDifferenceStep));
        jacobian.startVec(j);
        for (std::size_t d = 0; d < dependents.size(); ++d) {
            const Constraint& constraint = system.constraints[dependents[d]];
            const ConstraintEntries minus = constraint_residual(system, constraint);
            const Eigen::Index first_row = deps.first_row[dependents[d]];
            for (unsigned e = 0; e < minus.count; ++e) {
                const double value = central_difference(plus[d].value[e], minus.value[e]);
                // Rows past the caller's count are not part of its matrix.
                if (value != 0.0 && first_row + e < rows) {
                    jacobian.insertBack(first_row + e, j) = value;
                }
            }
        }
        for (std::size_t m = 0; m < members.size(); ++m) {
            set_parameter_value(system, members[m], saved[m]);
        }
    }
    jacobian.finalize();
    return jacobian;
}

}  // namespace

ColumnDependencies difference_dependencies(const System& system, Eigen::Index rows) {
    return column_dependencies(system, central_difference_form(system, rows));
}

Eigen::SparseMatrix<double> solver_jacobian(System& system, const Eigen::VectorXd& x,
                                            Eigen::Index rows) {
    std::optional<ColumnDependencies> dependencies;
    return solver_jacobian(system, x, rows, dependencies);
}

Eigen::SparseMatrix<double> solver_jacobian(System& system, const Eigen::VectorXd& x,
                                            Eigen::Index rows,
                                            std::optional<ColumnDependencies>& dependencies) {
    // Expressions are differentiated exactly, never by differences.
    if (system.analytic_jacobian || has_design_intent(system)) {
        return analytic_sparse_jacobian(system, rows);
    }
    if (!dependencies) dependencies = difference_dependencies(system, rows);
    return central_difference_sparse(system, x, rows, *dependencies);
}

}  // namespace ovralis
