// Newton homotopy from the start.
//
// Levenberg–Marquardt descends the cost from the drawing and can end where
// the cost has a local minimum that is no solution, or on a solution reached
// by collapsing a line or a radius, or on a mirror image of the drawing. The
// homotopy instead deforms the residual continuously from what the drawing
// has to zero, so the solution it reaches is the one the drawing deforms
// into, with its corners turning the same way.

#include "solver/start_homotopy.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "solver/row_space_step.hpp"

namespace ovralis {
namespace {

constexpr double kFirstStep = 0.125;
constexpr double kLongestStep = 0.5;
constexpr double kShortestStep = 1e-3;
// Newton corrections at one value of t, each at most this share of the one
// before (as near a regular path point): a slower one says the prediction
// landed too far from the path.
constexpr std::uint64_t kMostCorrections = 8;
constexpr double kContraction = 0.9;
// Inside the path a point counts as on it once the correction is this small
// relative to the sketch (coordinates are in units of the point spacing) or
// the residual this close to its target; redundant constraints can make the
// target unreachable exactly, and the end of the path is judged by tol.
constexpr double kOnPathStep = 1e-6;
constexpr double kOnPathResidual = 1e-10;

struct Corrected {
    Eigen::VectorXd x;
    std::uint64_t jacobians = 0;
    bool on_path = false;
};

// Newton's method on r(x) - target from `x`, least-norm steps, until every
// entry is within `tolerance` or, when `settled_will_do`, the steps settle.
Corrected correct(Problem& problem, Eigen::VectorXd x, const Eigen::VectorXd& target,
                  double tolerance, bool settled_will_do, std::uint64_t most_jacobians,
                  RowSpaceSolver& solver) {
    Corrected out;
    double last_step = std::numeric_limits<double>::infinity();
    const std::uint64_t most = std::min<std::uint64_t>(kMostCorrections, most_jacobians);
    for (std::uint64_t k = 0; k <= most; ++k) {
        const Eigen::VectorXd gap = problem.evaluate(x).residual - target;
        if (!gap.allFinite()) break;
        if (gap.lpNorm<Eigen::Infinity>() < tolerance) {
            out.on_path = true;
            break;
        }
        if (k == most) break;
        ++out.jacobians;
        if (!solver.factorise(problem.analytic_jacobian(x))) break;
        const std::optional<Eigen::VectorXd> step = solver.solve(-gap);
        if (!step) break;
        const double norm = step->lpNorm<Eigen::Infinity>();
        if (!(norm <= kContraction * last_step)) break;
        x += *step;
        last_step = norm;
        if (settled_will_do && norm <= kOnPathStep * (1.0 + x.lpNorm<Eigen::Infinity>())) {
            out.on_path = true;
            break;
        }
    }
    out.x = std::move(x);
    return out;
}

}  // namespace

HomotopyEnd track_from_start(Problem& problem, const Eigen::VectorXd& x0,
                             const CollapseWatch& watch, std::uint64_t most_jacobians, double tol) {
    const Eigen::VectorXd r0 = problem.evaluate(x0).residual;
    HomotopyEnd end{x0, 0.0, 0, false};
    RowSpaceSolver solver;
    double dt = kFirstStep;
    while (end.reached < 1.0 && end.jacobians < most_jacobians && r0.allFinite()) {
        problem.stop_if_interrupted(end.x);
        const double t = std::min(1.0, end.reached + dt);
        // The tangent: J x' = -r0 along r(x) = (1 - t) r0.
        ++end.jacobians;
        if (!solver.factorise(problem.analytic_jacobian(end.x))) break;
        const std::optional<Eigen::VectorXd> tangent = solver.solve(-r0);
        // No tangent at all: the drawing sits where the constraints have no
        // derivative (two points of a distance on each other), and no
        // shorter step in t will leave it.
        if (!tangent || tangent->lpNorm<Eigen::Infinity>() == 0.0) break;
        const Eigen::VectorXd predicted = end.x + (t - end.reached) * *tangent;
        const bool last = t >= 1.0;
        const double tolerance = last ? tol : kOnPathResidual;
        Corrected corrected = correct(problem, predicted, (1.0 - t) * r0, tolerance, !last,
                                      most_jacobians - end.jacobians, solver);
        end.jacobians += corrected.jacobians;
        problem.move_to(corrected.x);
        if (corrected.on_path && !watch.collapsed()) {
            end.x = std::move(corrected.x);
            end.reached = t;
            dt = std::min(2.0 * dt, kLongestStep);
            continue;
        }
        dt *= 0.5;
        if (dt < kShortestStep) break;
    }
    problem.move_to(end.x);
    end.converged = end.reached >= 1.0 && tol > problem.evaluate(end.x).max_abs;
    return end;
}

}  // namespace ovralis
