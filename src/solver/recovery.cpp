// Recovery after Levenberg–Marquardt gives up or ends collapsed.
//
// The plain method damps with lambda I in normalised units and never resets
// lambda; it can stall where the gradient vanishes (its step is then zero and
// is accepted without moving) or crawl when the columns of J differ widely in
// size, and descending the cost it can reach a "solution" where a line or a
// radius has shrunk to nothing, which satisfies every tangency and angle of
// it. The continuation from the drawing follows the solution the drawing
// deforms into and never steps onto a collapse; the Marquardt-scaled method,
// which damps each variable in proportion to its own curvature, addresses
// the stall and the crawl.

#include "solver/recovery.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "solver/method_support.hpp"
#include "solver/start_homotopy.hpp"

namespace ovralis {
namespace {

struct Ending {
    Eigen::VectorXd x;
    double cost = 0.0;
    bool collapsed = false;
};

// Where a run left the entities, as a candidate ending.
Ending ending_here(Problem& problem, const CollapseWatch& watch) {
    Eigen::VectorXd x = problem.start();
    const double cost = problem.cost(x);
    return {std::move(x), cost, watch.collapsed()};
}

// The cheapest ending that collapses nothing, else the cheapest; a NaN cost
// is never preferred.
const Ending& preferred(const std::vector<Ending>& endings) {
    const Ending* best = &endings.front();
    const auto better = [](const Ending& a, const Ending& b) {
        if (a.collapsed != b.collapsed) return !a.collapsed;
        return a.cost < b.cost || (b.cost != b.cost && a.cost == a.cost);
    };
    for (const Ending& e : endings) {
        if (better(e, *best)) best = &e;
    }
    return *best;
}

}  // namespace

bool recoverable(const SolveReport& report, const CollapseWatch& watch) {
    if (report.converged) return watch.collapsed();
    return report.outcome == SolveOutcome::IterationLimit ||
           report.outcome == SolveOutcome::DampingLimit;
}

SolveReport recover(Problem& problem, const SolveReport& first, const Eigen::VectorXd& drawing,
                    const CollapseWatch& watch, std::uint64_t max_iter, double tol) {
    std::vector<Ending> endings{ending_here(problem, watch)};
    std::uint64_t iterations = first.iterations;
    const auto sound = [&](bool converged) { return converged && !watch.collapsed(); };

    // The recovery as a whole takes at most max_iter iterations more.
    std::uint64_t budget = max_iter;
    const HomotopyEnd followed = track_from_start(problem, drawing, watch, budget, tol);
    iterations += followed.jacobians;
    budget -= std::min(budget, followed.jacobians);
    if (sound(followed.converged)) return converged_after(iterations);
    endings.push_back(ending_here(problem, watch));

    std::vector<Eigen::VectorXd> restarts;
    if (!endings.front().collapsed) {
        restarts.push_back(endings.front().x);
        perturb_off_stationary_point(restarts.back());
    }
    restarts.push_back(drawing);
    for (const Eigen::VectorXd& from : restarts) {
        if (budget == 0) break;
        problem.move_to(from);
        const SolveReport run = sparse_levenberg_marquardt(problem, budget, tol);
        iterations += run.iterations;
        budget -= std::min(budget, run.iterations);
        if (sound(run.converged)) return converged_after(iterations);
        endings.push_back(ending_here(problem, watch));
    }

    problem.move_to(preferred(endings).x);
    SolveReport report = first;
    report.iterations = iterations;
    if (report.converged) {
        // Every converged ending collapsed something: that is no answer.
        report.converged = false;
        report.outcome = SolveOutcome::ConstraintsNotSatisfied;
    }
    return report;
}

}  // namespace ovralis
