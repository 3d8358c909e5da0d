#include "solver/method_support.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include <Eigen/LU>

#include "residual/residual.hpp"
#include "system/variable_layout.hpp"

namespace ovralis {
namespace {

constexpr int kLineSearchTrials = 8;
constexpr double kSufficientDecrease = 1e-4;
constexpr double kNegligibleDirectional = 1e-30;
constexpr double kPerturbationSize = 1e-4;
constexpr double kMinDamping = 1e-12;

SolveReport report(SolveOutcome outcome, std::uint64_t iterations) {
    return SolveReport{outcome == SolveOutcome::Converged, outcome, iterations};
}

}  // namespace

Evaluation evaluate(const Problem& problem) {
    Evaluation evaluation;
    evaluation.residual = problem_residual(problem);
    evaluation.cost = sum_of_squares(evaluation.residual);
    evaluation.max_abs = max_abs_residual(evaluation.residual);
    return evaluation;
}

double cost_at(Problem& problem, const Eigen::VectorXd& x) {
    scatter(problem.system, x);
    return sum_of_squares(problem_residual(problem));
}

SolveReport converged_after(std::uint64_t iterations) {
    return report(SolveOutcome::Converged, iterations);
}

SolveReport iteration_limit_after(std::uint64_t iterations) {
    return report(SolveOutcome::IterationLimit, iterations);
}

SolveReport non_finite_after(std::uint64_t iterations) {
    return report(SolveOutcome::NonFinite, iterations);
}

SolveReport damping_limit_after(std::uint64_t iterations) {
    return report(SolveOutcome::DampingLimit, iterations);
}

SolveReport report_without_iterations(const Problem& problem, double tol) {
    return tol > evaluate(problem).max_abs ? converged_after(0) : iteration_limit_after(0);
}

void perturb_off_stationary_point(Eigen::VectorXd& x) {
    for (Eigen::Index i = 0; i < x.size(); ++i) {
        x[i] += (2.0 * std::sin(static_cast<double>(i)) - 1.0) * kPerturbationSize;
    }
}

double decreased_damping(double damping) { return std::max(damping / 3.0, kMinDamping); }
double increased_damping(double damping) { return std::min(2.0 * damping, kMaxDamping); }

LineSearchResult damped_line_search(Problem& problem, const Eigen::VectorXd& x_start,
                                    double cost_start, const Eigen::VectorXd& delta,
                                    double directional) {
    LineSearchResult result;
    double fraction = 1.0;
    for (int trial = 0; trial < kLineSearchTrials; ++trial, fraction *= 0.5) {
        result.x = x_start + fraction * delta;
        result.cost = cost_at(problem, result.x);
        // A NaN trial cost fails both comparisons, so it is rejected unless the
        // direction carries no first-order information at all.
        result.accepted = std::abs(directional) < kNegligibleDirectional ||
                          result.cost <= cost_start - kSufficientDecrease * fraction * directional ||
                          result.cost < cost_start;
        if (result.accepted) return result;
    }
    return result;
}

std::optional<Eigen::VectorXd> solve_by_lu(const Eigen::MatrixXd& matrix,
                                           const Eigen::VectorXd& rhs) {
    const Eigen::PartialPivLU<Eigen::MatrixXd> lu(matrix);
    // The factorisation itself never fails; a singular matrix shows in its pivots.
    const auto pivots = lu.matrixLU().diagonal();
    const bool bad_pivot = (pivots.array() == 0.0).any() || !pivots.allFinite();
    if (bad_pivot || !(lu.rcond() >= std::numeric_limits<double>::epsilon())) {
        return std::nullopt;
    }
    return Eigen::VectorXd(lu.solve(rhs));
}

}  // namespace ovralis
