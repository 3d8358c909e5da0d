// Levenberg–Marquardt for large sketches: the Jacobian comes as triplets, the
// damping is scaled by the diagonal of J^T J (Marquardt scaling), the damped
// normal equations are solved by sparse Cholesky, and each iteration makes a
// single damping attempt.
//
// J and J^T J stay sparse: each point meets only a handful of constraints, so
// the work per iteration follows the number of non-zeros instead of n^2.

#include <algorithm>
#include <cmath>
#include <optional>

#include <Eigen/Core>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

#include "solver/method_support.hpp"
#include "solver/problem.hpp"
#include "solver/sparse/sparse_levenberg_marquardt.hpp"

namespace ovralis {
namespace {

using SparseMatrix = Eigen::SparseMatrix<double>;

constexpr double kInitialDampingFactor = 1e-3;
constexpr double kInitialDampingFloor = 1e-6;
constexpr double kDiagonalFloor = 1e-12;
constexpr double kStepNormLimit = 1e10;
constexpr double kSparsityThreshold = 1e-30;

double initial_damping(const Eigen::VectorXd& diagonal) {
    double largest = kInitialDampingFloor;
    for (const double value : diagonal) {
        if (value > largest) largest = value;  // NaN never compares greater
    }
    return kInitialDampingFactor * largest;
}

// A + diag(lambda * max(A_ii, 1e-12)): a zero diagonal element still gets a
// small damping so that an unconstrained variable does not make M singular.
SparseMatrix damped(const SparseMatrix& normal, const Eigen::VectorXd& diagonal, double damping) {
    const Eigen::VectorXd added =
        damping * diagonal.unaryExpr([](double v) { return std::max(v, kDiagonalFloor); });
    SparseMatrix result = normal;
    result += added.asDiagonal();
    return result;
}

}  // namespace

Eigen::VectorXd sparse_damped_solve(const SparseMatrix& damped_normal, const Eigen::VectorXd& rhs) {
    SparseMatrix kept = damped_normal;
    kept.prune([](Eigen::Index, Eigen::Index, double value) {
        return std::abs(value) > kSparsityThreshold;
    });
    const Eigen::SimplicialLLT<SparseMatrix> cholesky(kept);
    if (cholesky.info() == Eigen::Success) return cholesky.solve(rhs);
    return solve_by_lu(Eigen::MatrixXd(damped_normal), rhs)
        .value_or(Eigen::VectorXd::Zero(rhs.size()));
}

SolveReport sparse_levenberg_marquardt(Problem& problem, std::uint64_t max_iter, double tol) {
    Eigen::VectorXd x = problem.start();
    std::optional<double> damping;

    for (std::uint64_t k = 0;; ++k) {
        const Evaluation current = problem.evaluate(x);
        if (const auto ending = ending_at(current, k, max_iter, tol)) return *ending;
        problem.stop_if_interrupted(x);

        const SparseMatrix jacobian = problem.analytic_jacobian(x);
        const SparseMatrix jacobian_t = jacobian.transpose();
        const Eigen::VectorXd rhs = -(jacobian_t * current.residual);
        const SparseMatrix normal = jacobian_t * jacobian;
        const Eigen::VectorXd diagonal = normal.diagonal();
        if (!damping) damping = initial_damping(diagonal);

        const Eigen::VectorXd delta = sparse_damped_solve(damped(normal, diagonal, *damping), rhs);
        const double delta_norm = delta.norm();
        if (!std::isfinite(delta_norm) || delta_norm > kStepNormLimit) {
            damping = increased_damping(*damping);
            continue;
        }

        const LineSearchResult trial =
            damped_line_search(problem, x, current.cost, delta, rhs.dot(delta));
        if (trial.accepted) {
            if (trial.cost < current.cost) damping = decreased_damping(*damping);
            x = trial.x;
            continue;
        }
        problem.move_to(x);
        damping = increased_damping(*damping);
        if (*damping >= kMaxDamping) return iteration_limit_after(k + 1);
    }
}

}  // namespace ovralis
