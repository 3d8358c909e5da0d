// The Jacobian producers: analytic triplets, sparse and dense matrices, central differences.
#pragma once

#include <optional>
#include <vector>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "jacobian/column_dependencies.hpp"
#include "system/system.hpp"

namespace ovralis {

using JacobianTriplet = Eigen::Triplet<double, Eigen::Index>;

// All producers differentiate with respect to the variables of system.layout
// (built by build_variables), and all expect the store's references to have
// been validated (validate_references) once by their caller. Rows follow the solver's residual form: when any
// eliminated constraint exists those constraints take no rows. A derivative of
// a parameter that has no variable of its own lands in its equality group's
// column; a held parameter contributes nothing.

// Analytic derivatives as (row, column, value), constraint by constraint.
// Constant coefficients are always listed; others only above 1e-30 in
// magnitude. Repeated (row, column) pairs are not merged.
std::vector<JacobianTriplet> sparse_jacobian(const System& system);

// The triplets assembled into a rows x n sparse matrix, repeated (row,
// column) pairs summed: the chain rule for parameters sharing a variable. A
// triplet at or beyond `rows` is an internal error.
Eigen::SparseMatrix<double> analytic_sparse_jacobian(const System& system, Eigen::Index rows);

// The same derivatives as a dense rows x n matrix (duplicates summed).
Eigen::MatrixXd analytic_jacobian(const System& system, Eigen::Index rows);

// Central differences with the absolute step 1e-6 around x (the current
// variable vector, already scattered). Perturbs the entities while it runs and
// leaves x scattered when it returns.
Eigen::MatrixXd central_difference_jacobian(System& system, const Eigen::VectorXd& x,
                                            Eigen::Index rows);

// The Jacobian a solver iterates with, compressed: analytic when the store's
// analytic_jacobian flag is set or the store holds design intent (bindings,
// equations, free variables), central differences otherwise. Central
// differences re-evaluate only the constraints that depend on each column,
// which gives the same values as the dense producer at the cost of the
// non-zeros.
Eigen::SparseMatrix<double> solver_jacobian(System& system, const Eigen::VectorXd& x,
                                            Eigen::Index rows);

// Which constraints central differences re-evaluate for each column: fixed
// while the store keeps its entities, constraints and variables.
ColumnDependencies difference_dependencies(const System& system, Eigen::Index rows);

// solver_jacobian for a caller that asks again and again of one store: the
// dependencies are made at the first central-difference Jacobian and kept.
Eigen::SparseMatrix<double> solver_jacobian(System& system, const Eigen::VectorXd& x,
                                            Eigen::Index rows,
                                            std::optional<ColumnDependencies>& dependencies);

}  // namespace ovralis
