// The drag is a sequence of weighted projections. At the current point x_k
// with residual F and Jacobian J, the next point is the one nearest to a
// reference point x_ref (the start, with the dragged point at its target)
// that satisfies the linearised constraints F + J (x - x_k) = 0, "nearest"
// measured with weights W:
//
//     x_{k+1} = x_ref - W^-1 J^T lambda,
//     (J W^-1 J^T + mu I) lambda = F + J (x_ref - x_k).
//
// The fixed point of this iteration satisfies the constraints and is the
// nearest such point to x_ref. Two weightings are tried in turn:
//   1. the dragged point pinned at its target (W^-1 = 0 on its coordinates),
//      everything else weighted alike: the point follows exactly and the rest
//      moves least;
//   2. when the target cannot be reached, a least-squares solve of the
//      constraints together with "the point is at the target" pulls the
//      sketch as far towards the target as the constraints resist, and
//      minimum-norm corrections from there put every constraint back with
//      the least further movement.
// The small mu keeps the system solvable when constraints are redundant.
// The projection onto a fixed reference converges only linearly where the
// constraints curve strongly (a chain pulled nearly straight); after
// kFixedReferenceSteps steps the reference follows x, which turns the steps
// into minimum-norm Newton corrections that converge fast and move the
// sketch only a little further.

#include "solver/drag.hpp"

#include <algorithm>
#include <optional>

#include <Eigen/SparseCholesky>

#include "residual/residual.hpp"
#include "solver/convergence_judge.hpp"
#include "solver/normalisation.hpp"
#include "solver/problem.hpp"
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

// Iterates the projection until the step stops changing x; true when the
// entities then satisfy every constraint.
bool run_projection(Problem& problem, System& system, const Eigen::VectorXd& start,
                    const Eigen::VectorXd& reference, const Eigen::VectorXd& inverse_weights,
                    std::uint64_t fixed_reference_steps, std::uint64_t max_iter, double tol,
                    double scale, std::uint64_t& iterations) {
    Eigen::VectorXd x = start;
    for (std::uint64_t k = 0; k < max_iter; ++k) {
        problem.stop_if_interrupted(x);
        const Eigen::VectorXd& towards = k < fixed_reference_steps ? reference : x;
        const std::optional<Eigen::VectorXd> next = project(problem, x, towards, inverse_weights);
        ++iterations;
        if (!next) return false;
        const double step = (*next - x).lpNorm<Eigen::Infinity>();
        x = *next;
        if (step <= 1e-13 * std::max(scale, x.lpNorm<Eigen::Infinity>())) break;
    }
    problem.move_to(x);
    return geometry_holds(system, tol, scale);
}

// Stage 1: the point pinned at its target, the rest moved least.
bool drag_pinned(System& system, Index point, double x, double y, std::uint64_t max_iter,
                 double tol, const InterruptPoll& interrupted, std::uint64_t& iterations) {
    build_variables(system);
    propagate(system);
    Problem problem(system, interrupted);
    const double scale = length_scale(system);
    if (problem.variable_count() == 0) return geometry_holds(system, tol, scale);
    const DragTarget target{column_of(system.layout, {ParamKind::PointX, point}),
                            column_of(system.layout, {ParamKind::PointY, point}), x, y};
    const Eigen::VectorXd start = problem.start();
    Eigen::VectorXd pinned = Eigen::VectorXd::Ones(start.size());
    if (target.x_column) pinned[*target.x_column] = 0.0;
    if (target.y_column) pinned[*target.y_column] = 0.0;
    return run_projection(problem, system, start, reference_point(start, target), pinned,
                          kFixedReferenceSteps, max_iter, tol, scale, iterations);
}

// Stage 2, for a target out of reach: pulled towards it, then corrected.
bool drag_towards(System& system, Index point, double x, double y, std::uint64_t max_iter,
                  double tol, const InterruptPoll& interrupted, std::uint64_t& iterations) {
    Constraint pull{ConstraintKind::FixedPoint, {point, 0, 0}, {x, y}};
    system.constraints.push_back(pull);
    SolveReport pulled;
    try {
        pulled = solve_engine(system, max_iter, SolveMethod::Automatic, tol, interrupted);
    } catch (...) {
        system.constraints.pop_back();
        throw;
    }
    system.constraints.pop_back();
    iterations += pulled.iterations;
    build_variables(system);
    propagate(system);
    Problem problem(system, interrupted);
    const double scale = length_scale(system);
    if (problem.variable_count() == 0) return geometry_holds(system, tol, scale);
    const Eigen::VectorXd start = problem.start();
    return run_projection(problem, system, start, start, Eigen::VectorXd::Ones(start.size()), 0,
                          max_iter, tol, scale, iterations);
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
        converged = drag_pinned(system, point, x, y, max_iter, tol, interrupted, iterations);
        if (!converged) {
            system = before;
            converged = drag_towards(system, point, x, y, max_iter, tol, interrupted, iterations);
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
