// The endings, nudge, damping rules, line search and LU solve the methods share.
#include "solver/method_support.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include <Eigen/LU>

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

std::optional<SolveReport> ending_at(const Evaluation& current, std::uint64_t k,
                                     std::uint64_t max_iter, double tol) {
    if (!std::isfinite(current.cost)) return non_finite_after(k);
    if (tol > current.max_abs) return converged_after(k);
    if (k == max_iter) return iteration_limit_after(max_iter);
    return std::nullopt;
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
        result.cost = problem.cost(result.x);
        // A NaN trial cost fails both comparisons, so it is rejected unless the
        // direction carries no first-order information at all.
        result.accepted =
            std::abs(directional) < kNegligibleDirectional ||
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
