// Levenberg-Marquardt: damped Gauss-Newton steps with a backtracking line
// search and ten damping attempts per iteration, all from the same
// linearisation point.
//
// The normal matrix J^T J and the gradient J^T r are formed once per
// iteration: the ten attempts differ only in the damping added to the
// diagonal (damped_normal_equations.hpp says how each is solved).
//
// An attempt's step and trials depend only on the linearisation and the
// damping; the flags decide only what happens after. So once an attempt is
// accepted without changing the damping (typically at its floor of 1e-12),
// every remaining attempt would take the same step and accept the same trial,
// bit for bit, and leave the same damping; a step too long at the largest
// damping likewise repeats. The loop ends there, with the very point, damping
// and flags the full ten attempts would have left.

#include <cmath>
#include <utility>

#include "solver/lm/damped_normal_equations.hpp"
#include "solver/method_support.hpp"
#include "solver/problem.hpp"

namespace ovralis {
namespace {

constexpr double kInitialDamping = 1e-4;
constexpr int kDampingAttempts = 10;
constexpr double kStepNormLimit = 1e10;

}  // namespace

SolveReport levenberg_marquardt(Problem& problem, std::uint64_t max_iter, double tol) {
    Eigen::VectorXd x = problem.start();
    double damping = kInitialDamping;
    DampedNormalEquations equations(problem.normal_structure());

    // Iteration k starts after k completed iterations; the test at its top
    // also judges the point the last iteration left.
    for (std::uint64_t k = 0;; ++k) {
        const Evaluation current = problem.evaluate(x);
        if (const auto ending = ending_at(current, k, max_iter, tol)) return *ending;
        problem.stop_if_interrupted(x);

        // Every attempt starts from x_k and its cost.
        const Eigen::VectorXd x_k = x;
        const double cost_k = current.cost;
        equations.linearise(problem.jacobian(x), current.residual);
        bool accepted = false;
        bool saturated = false;

        for (int attempt = 0; attempt < kDampingAttempts; ++attempt) {
            const double entered_damping = damping;
            problem.stop_if_interrupted(x);
            const Eigen::VectorXd delta = equations.step(damping);
            const double norm = delta.norm();
            if (std::isnan(norm)) return non_finite_after(k + 1);
            if (norm > kStepNormLimit) {
                damping = increased_damping(damping);
                saturated = saturated || damping >= kMaxDamping;
                if (damping == entered_damping) break;
                continue;
            }

            // An accepted trial is already in the entities.
            LineSearchResult trial =
                damped_line_search(problem, x_k, cost_k, delta, equations.gradient().dot(delta));
            if (trial.accepted) {
                if (trial.cost < cost_k || !accepted) damping = decreased_damping(damping);
                x = std::move(trial.x);
                accepted = true;
                if (damping == entered_damping) break;
                continue;
            }

            // A rejected attempt undoes an earlier accepted one as well.
            x = x_k;
            problem.move_to(x);
            damping = increased_damping(damping);
            if (damping >= kMaxDamping) {
                if (accepted) break;
                return damping_limit_after(k + 1);
            }
        }

        // Without an accepted attempt the entities already hold x_k: every
        // attempt either left them alone (step too long) or restored x_k.
        if (!accepted && saturated) return damping_limit_after(k + 1);
    }
}

}  // namespace ovralis
