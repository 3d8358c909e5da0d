// The damped sparse solve of the sparse Levenberg–Marquardt method.
#pragma once

#include <Eigen/Core>
#include <Eigen/SparseCore>

// The linear algebra of the sparse Levenberg–Marquardt method (the method
// itself is declared in solver/problem.hpp).
namespace ovralis {

// Solves M delta = b by sparse Cholesky, leaving out entries of magnitude at
// most 1e-30; when M is not positive definite, by dense LU; when M is
// singular as well, delta is the zero step.
Eigen::VectorXd sparse_damped_solve(const Eigen::SparseMatrix<double>& damped_normal,
                                    const Eigen::VectorXd& rhs);

}  // namespace ovralis
