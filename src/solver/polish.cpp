// Gauss–Newton refinement after convergence.
//
// The methods stop as soon as the largest residual entry is below tol, which
// leaves a well-posed sketch some 1e-9 away from its solution. Near a regular
// solution Gauss–Newton converges quadratically, so one or two more steps
// reach rounding level; at a double root (a tangency where the figures
// already share a point) each step only halves the error, so a step from a
// fresh Jacobian is also tried at twice its length, which lands near such a
// root, and the cheaper of the two is kept. A step that fails to lower the cost by a real factor says the point is as
// good as the arithmetic allows (or the sketch is not regular there), and
// refinement stops.

#include "solver/polish.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include <Eigen/SparseCore>

#include "jacobian/square_jacobian_factor.hpp"
#include "solver/row_space_step.hpp"

namespace ovralis {
namespace {

using SparseMatrix = Eigen::SparseMatrix<double>;

// At most this many steps are kept, whatever the budget. A regular solution
// takes two or three; a tangency at a point already on both figures (a line
// tangent to an arc at the arc's end, two arcs tangent where they meet) is a
// double root, where a Gauss–Newton step goes only half way; the doubled
// step below lands near such a root, but where the halving steps must carry
// the error (the doubled one costs more) they take a few dozen to go from
// tol to rounding.
constexpr std::uint64_t kMostSteps = 40;
// A kept step from a fresh Jacobian lowers the cost at least this much, as
// the halving at a double root still does. A step from an older
// linearisation must do much better, as Newton's quadratic convergence
// would; a slower one says the Jacobian has moved and is worth re-taking.
constexpr double kRequiredGain = 0.5;
constexpr double kRequiredReuseGain = 1e-2;
// A step below this many ulps of its variable moves nothing.
constexpr double kRoundingUlps = 4.0;
// Fresh Gauss–Newton steps taken beyond one that raised the cost, and how
// much each must shrink from the one before.
constexpr std::uint64_t kExcursionSteps = 3;
constexpr double kExcursionContraction = 0.5;

// J's LU pivots may span this ratio (smallest over largest magnitude) and
// still give a Gauss–Newton step worth trying: a wider span says J is
// singular to working accuracy.
constexpr double kSquarePivotRatio = 1e-12;

// The Gauss–Newton step at the latest linearisation point, factorised once
// there. A square J with a sound LU gives delta = -J^-1 r straight from its
// factors: accurate to rounding in r however badly J is conditioned, where
// any product of J with its transpose squares the condition number and a
// long chain of dimensions (holes each measured from the last) takes it past
// what double precision resolves. Otherwise the least-norm step in J's row
// space (row_space_step.hpp), which leaves what the constraints do not see
// where it is.
class Linearisation {
public:
    void relinearise(SparseMatrix jacobian) {
        jacobian.makeCompressed();
        square_ = square_factor_.factorise(jacobian, kSquarePivotRatio);
        if (!square_) row_space_.factorise(jacobian);
    }

    // nullopt when the factorisation failed or the step is not finite.
    std::optional<Eigen::VectorXd> step(const Eigen::VectorXd& residual) const {
        if (!square_) return row_space_.solve(-residual);
        Eigen::VectorXd step = -residual;
        square_factor_.solve(step);
        if (!step.allFinite()) return std::nullopt;
        return step;
    }

private:
    SquareJacobianFactor square_factor_;
    bool square_ = false;
    RowSpaceSolver row_space_;
};

bool moves_nothing(const Eigen::VectorXd& x, const Eigen::VectorXd& step, double length_scale) {
    constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
    for (Eigen::Index i = 0; i < x.size(); ++i) {
        const double unit = std::max(std::abs(x[i]), length_scale);
        if (std::abs(step[i]) > kRoundingUlps * kEpsilon * unit) return false;
    }
    return true;
}

// The residual entry that rounding alone may leave: each entry combines
// coordinates up to the largest in x, which the arithmetic resolves to a few
// units in the last place.
double rounding_entry(const Eigen::VectorXd& x) {
    constexpr double kEntryUlps = 16.0;
    return kEntryUlps * std::numeric_limits<double>::epsilon() * x.lpNorm<Eigen::Infinity>();
}

// The cost that rounding alone may leave. A fresh step that fails to lower a
// cost this small has met that floor; it is no overshoot to look past.
double rounding_cost(const Eigen::VectorXd& x, Eigen::Index residual_entries) {
    const double entry = rounding_entry(x);
    return static_cast<double>(residual_entries) * entry * entry;
}

// Where a few more Gauss–Newton steps, each from a fresh Jacobian, lead
// from `x` (at which the residual is `at`), reached by a step of norm
// `last_step`. On a badly conditioned sketch the nearest exact solution can
// lie where the first full step raises the cost, the linear model being too
// coarse that far out, and the next steps converge quadratically from there.
// Each step must at least halve the one before, as Newton's do near a
// solution: steps that do not are wandering off, perhaps towards another
// solution far away, and the excursion ends there. One that collapses
// something `watch` guards ends it as a failure.
struct Excursion {
    Eigen::VectorXd x;
    Evaluation at;
    std::uint64_t steps = 0;
};

Excursion newton_excursion(Problem& problem, Linearisation& linearisation, Eigen::VectorXd x,
                           Evaluation at, double last_step, double length_scale,
                           std::uint64_t most_steps, const CollapseWatch& watch) {
    std::uint64_t steps = 0;
    while (steps < most_steps && at.cost > 0.0) {
        problem.stop_if_interrupted(x);
        linearisation.relinearise(problem.analytic_jacobian(x));
        const auto step = linearisation.step(at.residual);
        if (!step || moves_nothing(x, *step, length_scale)) break;
        const double norm = step->norm();
        if (!(norm <= kExcursionContraction * last_step)) break;
        x += *step;
        at = problem.evaluate(x);
        if (watch.collapsed()) {
            at.cost = std::numeric_limits<double>::infinity();
            break;
        }
        last_step = norm;
        ++steps;
    }
    return {std::move(x), std::move(at), steps};
}

}  // namespace

std::uint64_t polish(Problem& problem, double length_scale, std::uint64_t max_steps,
                     const CollapseWatch& watch) {
    Eigen::VectorXd x = problem.start();
    Evaluation current = problem.evaluate(x);
    // A point whose every entry is within rounding is left where it is: a
    // step would only trade one rounding error for another, and on an ill
    // conditioned sketch move a point far out by more than the error.
    if (current.max_abs <= rounding_entry(x)) {
        problem.move_to(x);
        return 0;
    }
    Linearisation linearisation;
    bool current_linearisation = false;  // taken at some point of this refinement
    bool fresh = false;
    std::uint64_t kept = 0;
    const std::uint64_t most_kept = std::min(max_steps, kMostSteps);
    while (kept < most_kept && current.cost > 0.0) {
        problem.stop_if_interrupted(x);
        // A step from an older linearisation is cheap (a residual and two
        // triangular solves); only when it fails is the Jacobian re-taken, and
        // only a failed step from a fresh one ends the refinement.
        if (!current_linearisation) {
            linearisation.relinearise(problem.analytic_jacobian(x));
            current_linearisation = true;
            fresh = true;
        }
        auto step = linearisation.step(current.residual);
        if (!step || moves_nothing(x, *step, length_scale)) break;
        Evaluation there = problem.evaluate(x + *step);
        // At a double root Gauss-Newton's step goes half way; twice the step
        // lands near the root, where the error it leaves is the square.
        if (fresh) {
            Evaluation doubled = problem.evaluate(x + 2.0 * *step);
            if (doubled.cost < there.cost) {
                *step *= 2.0;
                there = std::move(doubled);
            } else {
                problem.move_to(x + *step);  // the watch reads the entities
            }
        }
        // A refinement moves by rounding-sized steps; one that shrinks a
        // line or a radius to nothing, or halves one that is nearly nothing
        // (collapse_watch.hpp), has left the solution it refines.
        if (watch.collapsed()) break;
        const double gain = fresh ? kRequiredGain : kRequiredReuseGain;
        if (!(there.cost < gain * current.cost)) {
            // At the rounding floor a failed step is the end, whether from an
            // older linearisation or a fresh one: no Jacobian can do better.
            if (current.cost <= rounding_cost(x, current.residual.size())) break;
            current_linearisation = false;
            if (!fresh) continue;
            // The fresh step overshot: it stands only if the steps after it
            // land well below the cost it started from.
            const std::uint64_t most_ahead = std::min(kExcursionSteps, most_kept - kept - 1);
            Excursion ahead = newton_excursion(problem, linearisation, x + *step, std::move(there),
                                               step->norm(), length_scale, most_ahead, watch);
            if (!(ahead.at.cost < kRequiredGain * current.cost)) break;
            x = std::move(ahead.x);
            current = std::move(ahead.at);
            kept += 1 + ahead.steps;
            continue;
        }
        x += *step;
        current = std::move(there);
        fresh = false;
        ++kept;
    }
    problem.move_to(x);
    return kept;
}

}  // namespace ovralis
