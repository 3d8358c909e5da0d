// The analytic Jacobian: one walk over the constraints' partial derivatives,
// delivered as triplets, as a sparse matrix built from them, or dense.
#include <cmath>
#include <optional>
#include <string>

#include "expression/bound_fields.hpp"
#include "jacobian/constraint_derivatives.hpp"
#include "jacobian/jacobian.hpp"
#include "residual/residual.hpp"
#include "system/errors.hpp"

namespace ovralis {
namespace {

// Calls visit(row, column, value, constant) for every partial derivative of
// every constraint that takes rows in the solver's residual form, with the
// parameter mapped to its column; held parameters are passed over. A bound
// field adds its chain through its expression to its constraint's rows, and
// the design-intent equations' rows follow the constraints'. Both analytic
// producers are this walk; they differ only in where a value goes.
template <typename Visit>
void for_each_derivative(const System& system, Visit&& visit) {
    const bool skip_eliminated = solver_residual_form(system) == ResidualForm::Reduced;
    const auto columns = static_cast<Eigen::Index>(system.layout.variables.size());
    const auto visit_parameter = [&](Eigen::Index row, Parameter parameter, double value,
                                     bool constant) {
        const std::optional<Eigen::Index> column = column_of(system.layout, parameter);
        if (!column) return;
        if (*column < 0 || *column >= columns) {
            throw InternalError("Jacobian column " + std::to_string(*column) +
                                " outside the variable vector");
        }
        visit(row, *column, value, constant);
    };
    ConstraintPartials partials;
    std::vector<BoundPartial> bound;
    auto binding = system.bindings.begin();
    Eigen::Index row = 0;
    for (Index k = 0; k < system.constraints.size(); ++k) {
        const Constraint& constraint = system.constraints[k];
        if (skip_eliminated && is_eliminated(constraint)) continue;
        differentiate(system, constraint, partials);
        for (const Partial& partial : partials) {
            visit_parameter(row + partial.entry, partial.parameter, partial.value, partial.constant);
        }
        // Bindings are sorted by constraint: one cursor walks them alongside.
        while (binding != system.bindings.end() && binding->constraint < k) ++binding;
        for (; binding != system.bindings.end() && binding->constraint == k; ++binding) {
            if (!reads_unknowns(system, binding->expression)) continue;
            bound.clear();
            bound_field_partials(system, *binding, bound);
            for (const BoundPartial& p : bound) visit_parameter(row + p.entry, p.parameter, p.value, false);
        }
        row += equation_count(constraint);
    }
    std::vector<ExpressionPartial> equation;
    for (const Equation& e : system.equations) {
        equation.clear();
        equation_partials(system, e, equation);
        for (const ExpressionPartial& p : equation) visit_parameter(row, p.parameter, p.value, false);
        ++row;
    }
}

// Contributions at most this small are left out of the triplet list.
constexpr double kNegligible = 1e-30;

}  // namespace

std::vector<JacobianTriplet> sparse_jacobian(const System& system) {
    std::vector<JacobianTriplet> triplets;
    triplets.reserve(4 * system.constraints.size());
    for_each_derivative(system,
                        [&](Eigen::Index row, Eigen::Index column, double value, bool constant) {
                            // Written so that a NaN is kept: it must reach the solver as in the dense matrix.
                            if (constant || !(std::abs(value) <= kNegligible)) {
                                triplets.emplace_back(row, column, value);
                            }
                        });
    return triplets;
}

Eigen::SparseMatrix<double> analytic_sparse_jacobian(const System& system, Eigen::Index rows) {
    const std::vector<JacobianTriplet> triplets = sparse_jacobian(system);
    for (const JacobianTriplet& t : triplets) {
        if (t.row() >= rows) {
            throw InternalError("Jacobian row " + std::to_string(t.row()) + " outside " +
                                std::to_string(rows) + " residual rows");
        }
    }
    const auto columns = static_cast<Eigen::Index>(system.layout.variables.size());
    Eigen::SparseMatrix<double> jacobian(rows, columns);
    jacobian.setFromTriplets(triplets.begin(), triplets.end());  // sums repeated entries
    return jacobian;
}

Eigen::MatrixXd analytic_jacobian(const System& system, Eigen::Index rows) {
    const auto columns = static_cast<Eigen::Index>(system.layout.variables.size());
    Eigen::MatrixXd jacobian = Eigen::MatrixXd::Zero(rows, columns);
    for_each_derivative(system, [&](Eigen::Index row, Eigen::Index column, double value, bool) {
        if (row >= rows) {
            throw InternalError("Jacobian row " + std::to_string(row) + " outside " +
                                std::to_string(rows) + " residual rows");
        }
        // Accumulated: parameters sharing a column sum their derivatives (chain rule).
        jacobian(row, column) += value;
    });
    return jacobian;
}

}  // namespace ovralis
