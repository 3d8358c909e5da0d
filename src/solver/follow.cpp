// Following an edit: the store's configuration is the start of a path whose
// end satisfies the constraints as they are now.
//
// The path runs in the solve engine's prepared problem: variables built,
// lengths divided by the mean point spacing, eliminated equalities
// propagated. It is tracked by path_tracker.*; its end is put back into the
// caller's units with the user's values restored bit for bit, refined there
// by minimum-norm Newton steps and judged as a solve is judged.

#include "solver/follow.hpp"

#include <optional>
#include <utility>

#include "residual/residual.hpp"
#include "solver/convergence_judge.hpp"
#include "solver/minimum_norm_step.hpp"
#include "solver/normalisation.hpp"
#include "solver/problem.hpp"
#include "solver/scale_bound.hpp"
#include "solver/user_values.hpp"
#include "system/references.hpp"
#include "system/variable_layout.hpp"

namespace ovralis {
namespace {

// The refinement in the caller's units keeps a step while it lowers the cost
// to at most this share, for at most kRefinementSteps steps.
constexpr double kRefinementGain = 0.25;
constexpr int kRefinementSteps = 4;

// Minimum-norm Newton steps from the point the entities hold, each kept only
// while it pays; the entities end at the last kept point.
std::uint64_t refine(Problem& problem) {
    MinimumNormStep solver;
    Eigen::VectorXd x = problem.start();
    Evaluation current = problem.evaluate(x);
    std::uint64_t kept = 0;
    while (kept < kRefinementSteps && current.cost > 0.0) {
        if (!solver.linearise(problem.analytic_jacobian(x))) break;
        Eigen::VectorXd residual = current.residual;
        drop_rounding(residual, x);
        const std::optional<Eigen::VectorXd> step = solver.solve(-residual);
        if (!step) break;
        Evaluation there = problem.evaluate(x + *step);
        if (!(there.cost < kRefinementGain * current.cost)) break;
        x += *step;
        current = std::move(there);
        ++kept;
    }
    problem.move_to(x);
    return kept;
}

// Dividing by the scale and multiplying back may change a value by an ulp:
// a variable the path left exactly where it was gets the caller's value back.
void keep_unmoved_values(Problem& problem, const Eigen::VectorXd& caller_start,
                         const Eigen::VectorXd& start, const Eigen::VectorXd& end) {
    if (end.size() != start.size()) return;
    Eigen::VectorXd x = problem.start();
    for (Eigen::Index i = 0; i < x.size(); ++i) {
        if (end[i] == start[i]) x[i] = caller_start[i];
    }
    problem.move_to(x);
}

double full_max_residual(const System& system) {
    return max_abs_residual(residual_vector(system, ResidualForm::Full));
}

}  // namespace

FollowedPath follow_path(System& system, const PathSettings& settings, double tol,
                         const InterruptPoll& interrupted,
                         const std::function<void(System&, double)>& set_parameter) {
    build_variables(system);
    Problem problem(system, interrupted);
    const UserValues saved = save_user_values(system);
    const Eigen::VectorXd caller_start = problem.start();
    normalise(system);
    const auto back_to_caller_units = [&] {
        unnormalise(system);
        restore_user_values(system, saved);
        propagate(system);
    };
    FollowedPath followed;
    Eigen::VectorXd start;
    try {
        propagate(system);
        start = problem.start();
        if (problem.variable_count() == 0) {
            followed.path.complete = true;
            followed.path.reached = 1.0;
        } else {
            std::function<void(double)> parameter;
            if (set_parameter) parameter = [&](double s) { set_parameter(system, s); };
            Homotopy homotopy(problem, start, parameter);
            followed.path = track_path(homotopy, start, settings);
            if (set_parameter) set_parameter(system, followed.path.reached);
        }
    } catch (...) {
        back_to_caller_units();
        throw;
    }
    back_to_caller_units();
    keep_unmoved_values(problem, caller_start, start, followed.path.x);
    if (!followed.path.complete) return followed;
    if (problem.variable_count() > 0) followed.path.iterations += refine(problem);
    followed.holds = geometry_holds(system, tol, system.scale);
    return followed;
}

FollowResult follow(System& system, std::uint64_t max_iter, double tol,
                    const InterruptPoll& interrupted) {
    validate_references(system);
    // Nothing to follow: judged at a lower bound of the length scale, which
    // is one pass over the points where the scale itself takes a quadratic one.
    if (geometry_holds(system, tol, length_scale_lower_bound(system))) {
        return {true, 0, 0, full_max_residual(system), 1.0};
    }
    const System before = system;
    PathSettings settings;
    settings.max_steps = max_iter;
    FollowedPath followed;
    try {
        followed = follow_path(system, settings, tol, interrupted);
    } catch (...) {
        system = before;
        throw;
    }
    if (!followed.holds) system = before;
    return {followed.holds, followed.path.iterations, followed.path.steps,
            full_max_residual(system), followed.path.reached};
}

}  // namespace ovralis
