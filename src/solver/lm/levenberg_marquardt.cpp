// Levenberg-Marquardt: damped Gauss-Newton steps with a backtracking line
// search and ten damping attempts per iteration, all from the same
// linearisation point.
//
// The normal matrix J^T J and the gradient J^T r are formed once per
// iteration: the ten attempts differ only in the damping added to the
// diagonal. J^T J stays sparse and is solved in band storage, since the
// variable order of a sketch keeps its non-zeros near the diagonal; the
// elimination makes the pivot choices of a Gauss-Jordan solve of the dense
// augmented system, so the steps are those of the dense formulation.

#include <algorithm>
#include <cmath>
#include <optional>

#include <Eigen/SparseCore>

#include "jacobian/banded_elimination.hpp"
#include "residual/residual.hpp"
#include "solver/problem.hpp"
#include "system/variable_layout.hpp"

namespace ovralis {
namespace {

constexpr double kInitialDamping = 1e-4;
constexpr double kMinDamping = 1e-12;
constexpr double kMaxDamping = 1e12;
constexpr int kDampingAttempts = 10;
constexpr double kStepNormLimit = 1e10;
constexpr double kPivotThreshold = 1e-12;
constexpr int kLineSearchTrials = 8;
constexpr double kSufficientDecrease = 1e-4;
constexpr double kNegligibleDirectionalTerm = 1e-30;

double decreased(double damping) { return std::max(damping / 3.0, kMinDamping); }
double increased(double damping) { return std::min(2.0 * damping, kMaxDamping); }

// The linearisation of one iteration, shared by its damping attempts.
struct NormalEquations {
    BandedMatrix normal;       // J^T J
    Eigen::VectorXd gradient;  // -(J^T r), the right-hand side
};

NormalEquations linearise(Problem& problem, const Eigen::VectorXd& x, const Eigen::VectorXd& r) {
    const Eigen::SparseMatrix<double> jacobian = problem_jacobian(problem, x, r.size());
    const Eigen::SparseMatrix<double> transposed = jacobian.transpose();
    const Eigen::SparseMatrix<double> normal = transposed * jacobian;
    return {to_banded(normal), -(transposed * r)};
}

// Solves (J^T J + damping I) delta = -(J^T r) in `work`, reusing its storage.
Eigen::VectorXd damped_step(const NormalEquations& equations, double damping, BandedMatrix& work) {
    work.size = equations.normal.size;
    work.lower = equations.normal.lower;
    work.upper = equations.normal.upper;
    work.values.assign(equations.normal.values.begin(), equations.normal.values.end());
    add_to_diagonal(work, damping);
    return solve_with_partial_pivoting(work, equations.gradient, kPivotThreshold);
}

// Backtracks from x_k along delta with the fractions 1, 1/2, ..., 1/128 and
// accepts the first trial that passes one of the three tests. On acceptance
// `x` takes the trial point, which the entities already hold, and the trial
// cost is returned; otherwise the entities hold the last rejected trial.
std::optional<double> line_search(Problem& problem, const Eigen::VectorXd& x_k, double cost_k,
                                  const Eigen::VectorXd& delta, double directional,
                                  Eigen::VectorXd& x) {
    Eigen::VectorXd x_try(x_k.size());
    double fraction = 1.0;
    for (int trial = 0; trial < kLineSearchTrials; ++trial, fraction *= 0.5) {
        x_try = x_k + fraction * delta;
        scatter(problem.system, x_try);
        const double cost_try = sum_of_squares(problem_residual(problem));
        if (std::abs(directional) < kNegligibleDirectionalTerm ||
            cost_try <= cost_k - kSufficientDecrease * fraction * directional ||
            cost_try < cost_k) {
            x = x_try;
            return cost_try;
        }
    }
    return std::nullopt;
}

}  // namespace

SolveReport levenberg_marquardt(Problem& problem, std::uint64_t max_iter, double tol) {
    System& system = problem.system;
    Eigen::VectorXd x = gather(system);
    double damping = kInitialDamping;
    BandedMatrix work;

    // Iteration k starts after k completed iterations; the test at its top
    // also judges the point the last iteration left.
    for (std::uint64_t k = 0;; ++k) {
        const Eigen::VectorXd r = problem_residual(problem);
        const double cost = sum_of_squares(r);
        if (!std::isfinite(cost)) return {false, SolveOutcome::NonFinite, k};
        if (tol > max_abs_residual(r)) return {true, SolveOutcome::Converged, k};
        if (k == max_iter) return {false, SolveOutcome::IterationLimit, max_iter};

        const Eigen::VectorXd x_k = x;
        const double cost_k = cost;
        const NormalEquations equations = linearise(problem, x, r);
        bool accepted = false;
        bool saturated = false;

        for (int attempt = 0; attempt < kDampingAttempts; ++attempt) {
            const Eigen::VectorXd delta = damped_step(equations, damping, work);
            const double norm = delta.norm();
            if (std::isnan(norm)) return {false, SolveOutcome::NonFinite, k + 1};
            if (norm > kStepNormLimit) {
                damping = increased(damping);
                saturated = saturated || damping >= kMaxDamping;
                continue;
            }

            const double directional = equations.gradient.dot(delta);
            if (const auto cost_try = line_search(problem, x_k, cost_k, delta, directional, x)) {
                if (*cost_try < cost_k || !accepted) damping = decreased(damping);
                accepted = true;
                continue;
            }

            // A rejected attempt undoes an earlier accepted one as well.
            x = x_k;
            scatter(system, x);
            damping = increased(damping);
            if (damping >= kMaxDamping) {
                if (accepted) break;
                return {false, SolveOutcome::DampingLimit, k + 1};
            }
        }

        // Without an accepted attempt the entities already hold x_k: every
        // attempt either left them alone (step too long) or restored x_k.
        if (!accepted && saturated) return {false, SolveOutcome::DampingLimit, k + 1};
    }
}

}  // namespace ovralis
