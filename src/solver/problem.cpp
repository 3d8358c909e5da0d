#include "solver/problem.hpp"

#include "jacobian/jacobian.hpp"

namespace ovralis {

Eigen::VectorXd problem_residual(const Problem& problem) {
    return residual_vector(problem.system, problem.form);
}

Eigen::SparseMatrix<double> problem_jacobian(Problem& problem, const Eigen::VectorXd& x,
                                             Eigen::Index rows) {
    return solver_jacobian(problem.system, x, rows);
}

}  // namespace ovralis
