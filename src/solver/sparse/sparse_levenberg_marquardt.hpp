#pragma once

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "system/system.hpp"

// The linear algebra of the sparse Levenberg–Marquardt method (the method
// itself is declared in solver/problem.hpp).
namespace ovralis {

// The analytic Jacobian as an m x n sparse matrix built from its triplets.
// Repeated (row, column) pairs come from parameters that share a variable and
// are summed (the chain rule); triplets outside the matrix are ignored.
Eigen::SparseMatrix<double> assemble_jacobian(const System& system, Eigen::Index rows,
                                              Eigen::Index columns);

// Solves M delta = b by sparse Cholesky, leaving out entries of magnitude at
// most 1e-30; when M is not positive definite, by dense LU; when M is
// singular as well, delta is the zero step.
Eigen::VectorXd sparse_damped_solve(const Eigen::SparseMatrix<double>& damped_normal,
                                    const Eigen::VectorXd& rhs);

}  // namespace ovralis
