// The solve methods' evaluator: every move into the store and every residual
// and Jacobian a method needs goes through here.
#include "solver/problem.hpp"

#include <utility>

#include "jacobian/jacobian.hpp"
#include "system/variable_layout.hpp"

namespace ovralis {

Problem::Problem(System& prepared, InterruptPoll interrupted)
    : system_(prepared),
      form_(solver_residual_form(prepared)),
      variables_(static_cast<Eigen::Index>(prepared.layout.variables.size())),
      rows_(residual_size(prepared, form_)),
      interrupted_(std::move(interrupted)) {}

Eigen::VectorXd Problem::start() const { return gather(system_); }

void Problem::move_to(const Eigen::VectorXd& x) { scatter(system_, x); }

Evaluation Problem::evaluate(const Eigen::VectorXd& x) {
    move_to(x);
    Evaluation evaluation;
    evaluate_residuals(system_, form_, evaluation.residual);
    evaluation.cost = sum_of_squares(evaluation.residual);
    evaluation.max_abs = max_abs_residual(evaluation.residual);
    return evaluation;
}

double Problem::cost(const Eigen::VectorXd& x) {
    move_to(x);
    return residual_sum_of_squares(system_, form_);
}

Eigen::SparseMatrix<double> Problem::jacobian(const Eigen::VectorXd& x) {
    move_to(x);
    return jacobian_pattern_.conform(solver_jacobian(system_, x, rows_, difference_dependencies_));
}

Eigen::SparseMatrix<double> Problem::analytic_jacobian(const Eigen::VectorXd& x) {
    move_to(x);
    return jacobian_pattern_.conform(analytic_sparse_jacobian(system_, rows_));
}

void Problem::stop_if_interrupted(const Eigen::VectorXd& x) {
    if (!interrupted_ || !interrupted_()) return;
    move_to(x);
    throw SolveInterrupted();
}

}  // namespace ovralis
