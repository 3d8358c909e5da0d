// A drag in three stages.
//
//  1. The path. The dragged point is pulled by a FixedPoint constraint at the
//     target, and the sketch follows that edit (follow.hpp): the pull's
//     value moves from where the point is to the target along a continuous
//     path, every other free value moving as little as it can at each step,
//     so the sketch never jumps to another branch of solutions where a
//     continuous path to the target exists.
//  2. The least movement. From the path's end, weighted projections move the
//     sketch to the configuration nearest the start that still has the point
//     at its target. At the current point x_k with residual F and Jacobian
//     J, the next point is the one nearest to a reference point x_ref (the
//     start, with the dragged point at its target) that satisfies the
//     linearised constraints F + J (x - x_k) = 0, with the dragged point's
//     coordinates pinned (weight W^-1 = 0), everything else weighted alike:
//
//         x_{k+1} = x_ref - W^-1 J^T lambda,
//         (J W^-1 J^T + mu I) lambda = F + J (x_ref - x_k).
//
//     The small mu keeps the system solvable when constraints are redundant.
//     The projection onto a fixed reference converges only linearly where
//     the constraints curve strongly (a chain pulled nearly straight); after
//     kFixedReferenceSteps steps the reference follows x, which turns the
//     steps into minimum-norm Newton corrections that converge fast. The
//     path's end already lies on the right branch and within the second
//     order of the answer, so the projection stays there.
//  3. The target out of reach. Where the path stops (a linkage stretched
//     straight, a point on a circle pulled off it), the sketch moves from the
//     path's end to the configuration that brings the point as close to the
//     target as the constraints allow (closest_point.hpp), exactly.

#include "solver/drag.hpp"

#include <algorithm>
#include <optional>

#include <Eigen/SparseCholesky>

#include "residual/residual.hpp"
#include "solver/closest_point.hpp"
#include "solver/convergence_judge.hpp"
#include "solver/follow.hpp"
#include "solver/normalisation.hpp"
#include "solver/problem.hpp"
#include "solver/user_values.hpp"
#include "system/references.hpp"
#include "system/store.hpp"
#include "system/variable_layout.hpp"

namespace ovralis {
namespace {

constexpr double kRegularisation = 1e-12;
constexpr std::uint64_t kFixedReferenceSteps = 20;

struct DragTarget {
    std::optional<Eigen::Index> x_column;
    std::optional<Eigen::Index> y_column;
    double x = 0.0;
    double y = 0.0;
};

DragTarget target_of(const System& system, Index point, double x, double y) {
    return {column_of(system.layout, {ParamKind::PointX, point}),
            column_of(system.layout, {ParamKind::PointY, point}), x, y};
}

Eigen::VectorXd reference_point(const Eigen::VectorXd& start, const DragTarget& target) {
    Eigen::VectorXd reference = start;
    if (target.x_column) reference[*target.x_column] = target.x;
    if (target.y_column) reference[*target.y_column] = target.y;
    return reference;
}

// One weighted projection step from x towards the reference.
std::optional<Eigen::VectorXd> project(Problem& problem, const Eigen::VectorXd& x,
                                       const Eigen::VectorXd& reference,
                                       const Eigen::VectorXd& inverse_weights) {
    const Evaluation at_x = problem.evaluate(x);
    const Eigen::SparseMatrix<double> jacobian = problem.analytic_jacobian(x);
    const Eigen::SparseMatrix<double> weighted = jacobian * inverse_weights.asDiagonal();
    Eigen::SparseMatrix<double> normal = weighted * jacobian.transpose();
    for (Eigen::Index i = 0; i < normal.rows(); ++i) normal.coeffRef(i, i) += kRegularisation;
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>> factor(normal);
    if (factor.info() != Eigen::Success) return std::nullopt;
    const Eigen::VectorXd rhs = at_x.residual + jacobian * (reference - x);
    const Eigen::VectorXd multipliers = factor.solve(rhs);
    if (factor.info() != Eigen::Success || !multipliers.allFinite()) return std::nullopt;
    return Eigen::VectorXd(reference - weighted.transpose() * multipliers);
}

// Iterates the projection from the point the entities hold until the step
// stops changing x; true when the entities then satisfy every constraint.
// Otherwise the entities are back where they started.
bool run_projection(Problem& problem, System& system, const Eigen::VectorXd& reference,
                    const Eigen::VectorXd& inverse_weights, std::uint64_t max_iter, double tol,
                    std::uint64_t& iterations) {
    const Eigen::VectorXd start = problem.start();
    Eigen::VectorXd x = start;
    for (std::uint64_t k = 0; k < max_iter; ++k) {
        problem.stop_if_interrupted(x);
        const Eigen::VectorXd& towards = k < kFixedReferenceSteps ? reference : x;
        const std::optional<Eigen::VectorXd> next = project(problem, x, towards, inverse_weights);
        ++iterations;
        if (!next) break;
        const double step = (*next - x).lpNorm<Eigen::Infinity>();
        x = *next;
        if (step <= 1e-13 * std::max(system.scale, x.lpNorm<Eigen::Infinity>())) break;
    }
    problem.move_to(x);
    if (geometry_holds(system, tol, system.scale)) return true;
    problem.move_to(start);
    return false;
}

// Stage 1: the path with the point pulled from where it is to the target.
// The store ends at the path's end; true when that end has the point there.
bool follow_the_pull(System& system, Index point, double x, double y, std::uint64_t max_iter,
                     double tol, const InterruptPoll& interrupted, std::uint64_t& iterations) {
    system.constraints.push_back({ConstraintKind::FixedPoint, {point, 0, 0}, {x, y}});
    PathSettings settings;
    settings.max_steps = max_iter;
    FollowedPath followed;
    try {
        followed = follow_path(system, settings, tol, interrupted);
    } catch (...) {
        system.constraints.pop_back();
        throw;
    }
    system.constraints.pop_back();
    iterations += followed.path.iterations;
    return followed.holds;
}

// Stage 2, in the caller's units: from the path's end to the configuration
// nearest the start with the point at the target.
void move_least(System& system, const System& start, Index point, double x, double y,
                std::uint64_t max_iter, double tol, const InterruptPoll& interrupted,
                std::uint64_t& iterations) {
    build_variables(system);
    propagate(system);
    Problem problem(system, interrupted);
    if (problem.variable_count() == 0) return;
    const DragTarget target = target_of(system, point, x, y);
    System start_copy = start;
    build_variables(start_copy);
    propagate(start_copy);
    const Eigen::VectorXd reference = reference_point(gather(start_copy), target);
    Eigen::VectorXd pinned = Eigen::VectorXd::Ones(reference.size());
    if (target.x_column) pinned[*target.x_column] = 0.0;
    if (target.y_column) pinned[*target.y_column] = 0.0;
    run_projection(problem, system, reference, pinned, max_iter, tol, iterations);
}

// Stage 3, in the normalised units: the point as close to the target as the
// constraints allow. True when that configuration was found and holds.
bool move_closest(System& system, Index point, double x, double y, std::uint64_t max_iter,
                  double tol, const InterruptPoll& interrupted) {
    build_variables(system);
    Problem problem(system, interrupted);
    if (problem.variable_count() > kClosestPointVariables) return false;
    const UserValues saved = save_user_values(system);
    normalise(system);
    bool found = false;
    try {
        propagate(system);
        const DragTarget target = target_of(system, point, x, y);
        found = problem.variable_count() == 0 ||
                move_to_closest_point(problem, target.x_column.value_or(-1),
                                      target.y_column.value_or(-1), x / system.scale,
                                      y / system.scale, max_iter);
    } catch (...) {
        unnormalise(system);
        restore_user_values(system, saved);
        throw;
    }
    unnormalise(system);
    restore_user_values(system, saved);
    propagate(system);
    return found && geometry_holds(system, tol, system.scale);
}

}  // namespace

SolveResult drag(System& system, Index point, double x, double y, std::uint64_t max_iter,
                 double tol, const InterruptPoll& interrupted) {
    validate_references(system);
    get_point(system, point);  // InvalidReference for a bad index, before anything changes
    const System before = system;
    std::uint64_t iterations = 0;
    bool converged = false;
    try {
        if (follow_the_pull(system, point, x, y, max_iter, tol, interrupted, iterations)) {
            move_least(system, before, point, x, y, max_iter, tol, interrupted, iterations);
            converged = true;
        } else {
            converged = move_closest(system, point, x, y, max_iter, tol, interrupted);
        }
    } catch (...) {
        // Interrupted, or out of memory: the sketch is the caller's again.
        system = before;
        throw;
    }
    if (!converged) system = before;
    const Eigen::VectorXd residual = residual_vector(system, ResidualForm::Full);
    return {converged, iterations, max_abs_residual(residual), sum_of_squares(residual)};
}

}  // namespace ovralis
