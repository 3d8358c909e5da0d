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
//
// The continuation, and a Marquardt-scaled run before it, start from the
// drawing as drawn, where each coincidence's points sit midway between their
// drawn copies, rather than from the plain run's start, where propagation
// moved them onto the first-named copy: on a rough drawing that copy can lie
// across a chord and turn an arc over before the first step. Before them, a
// run with the coincidences as equations lets each end close from where it
// was drawn, which keeps what even the midway start turns over. A mirror image
// that every method still ends on is turned back point by point (a flipped
// arc's centre across its chord, a flipped corner's meeting point across the
// line through its far ends), which keeps most of what holds, and solved
// again from there.

#include "solver/recovery.hpp"

#include <algorithm>
#include <utility>
#include <vector>

#include "solver/method_support.hpp"
#include "solver/start_homotopy.hpp"

namespace ovralis {
namespace {

// How many times a mirror image is turned back and solved again.
constexpr int kTurnBackRounds = 3;

struct Ending {
    Eigen::VectorXd x;
    double cost = 0.0;
    bool converged = false;
    bool collapsed = false;
    bool points_merged = false;
    std::size_t flips = 0;  // turns of the drawing turned over
    double moved = 0.0;     // how far from the drawing as drawn
};

// A line or radius shrunk to nothing, or two rounds made one: no answer.
bool degenerate(const CollapseWatch& watch) { return watch.collapsed() || watch.rounds_merged(); }

// Where a run left the entities, as a candidate ending. A converged run whose
// geometry does not hold shrank something to get there: it counts as
// collapsed.
Ending ending_here(Problem& problem, const Eigen::VectorXd& drawn, bool converged,
                   const Watches& watches, double tol) {
    Eigen::VectorXd x = problem.start();
    const double cost = problem.cost(x);
    const bool shrunk = converged && watches.collapse.holds_only_by_shrinking(tol);
    const double moved = (x - drawn).norm();
    return {std::move(x), cost, converged, degenerate(watches.collapse) || shrunk,
            watches.collapse.points_merged(), watches.turns.flips(), moved};
}

// A converged ending that collapses nothing first (one that keeps every
// point apart before one that merges two, then the one that turns the
// fewest corners and arcs over, then the one that moved least from the
// drawing), then the cheapest that collapses nothing, then the cheapest; a
// NaN cost is never preferred.
const Ending& preferred(const std::vector<Ending>& endings) {
    const Ending* best = &endings.front();
    const auto rank = [](const Ending& e) {
        return (e.collapsed ? 4 : 0) + (e.converged ? 0 : 2) + (e.points_merged ? 1 : 0);
    };
    const auto better = [&](const Ending& a, const Ending& b) {
        if (rank(a) != rank(b)) return rank(a) < rank(b);
        if (a.converged && a.flips != b.flips) return a.flips < b.flips;
        if (a.converged) return a.moved < b.moved;
        return a.cost < b.cost || (b.cost != b.cost && a.cost == a.cost);
    };
    for (const Ending& e : endings) {
        if (better(e, *best)) best = &e;
    }
    return *best;
}

}  // namespace

bool recoverable(const SolveReport& report, const Watches& watches, double tol) {
    if (report.converged) {
        return degenerate(watches.collapse) || watches.turns.flipped() ||
               watches.collapse.points_merged() || watches.collapse.holds_only_by_shrinking(tol);
    }
    return report.outcome == SolveOutcome::IterationLimit ||
           report.outcome == SolveOutcome::DampingLimit;
}

SolveReport recover(Problem& problem, const SolveReport& first, const Starts& starts,
                    const Watches& watches, std::uint64_t max_iter, double tol) {
    std::vector<Ending> endings{ending_here(problem, starts.drawn, first.converged, watches, tol)};
    std::uint64_t iterations = first.iterations;
    // The recovery as a whole takes at most max_iter iterations more.
    std::uint64_t budget = max_iter;
    const auto sound = [&](bool converged) {
        return converged && !degenerate(watches.collapse) && !watches.turns.flipped() &&
               !watches.collapse.points_merged() && !watches.collapse.holds_only_by_shrinking(tol);
    };
    // Runs `method` from `from`; true when it found a sound answer.
    const auto run_from = [&](auto method, const Eigen::VectorXd& from, std::uint64_t most) {
        if (budget == 0) return false;
        problem.move_to(from);
        const SolveReport run = method(problem, std::min(budget, most), tol);
        iterations += run.iterations;
        budget -= std::min(budget, run.iterations);
        if (sound(run.converged)) return true;
        endings.push_back(ending_here(problem, starts.drawn, run.converged, watches, tol));
        return false;
    };
    const auto marquardt_from = [&](const Eigen::VectorXd& from, std::uint64_t most) {
        return run_from(sparse_levenberg_marquardt, from, most);
    };

    // A run that gave up where nothing collapsed is continued from there: a
    // stall or a crawl, which the scaling addresses.
    if (!first.converged && !endings.front().collapsed) {
        Eigen::VectorXd nudged = endings.front().x;
        perturb_off_stationary_point(nudged);
        // A stall at a local minimum that is no solution never converges
        // and would spend the whole budget there: it gets a quarter.
        if (marquardt_from(nudged, std::max<std::uint64_t>(1, max_iter / 4))) {
            return converged_after(iterations);
        }
    }
    // Coincidences closed from where each end was drawn: joining them first
    // can put a corner or an arc's end across the chord.
    if (starts.as_drawn.any() && budget > 0) {
        const std::uint64_t before = iterations;
        const Eigen::VectorXd joined = starts.as_drawn.solve(
            std::min(budget, std::max<std::uint64_t>(1, max_iter / 4)), tol, iterations);
        budget -= std::min(budget, iterations - before);
        if (joined.size() > 0 && run_from(levenberg_marquardt, joined, budget)) {
            return converged_after(iterations);
        }
    }
    // The drawing as drawn, where propagation may have turned something
    // over before the first run's first step.
    if (starts.drawn != starts.propagated &&
        marquardt_from(starts.drawn, std::max<std::uint64_t>(1, max_iter / 4))) {
        return converged_after(iterations);
    }
    if (budget > 0) {
        const HomotopyEnd followed =
            track_from_start(problem, starts.drawn, watches.collapse, watches.turns,
                             std::min(budget, (max_iter + 1) / 2), tol);
        iterations += followed.jacobians;
        budget -= std::min(budget, followed.jacobians);
        if (sound(followed.converged)) return converged_after(iterations);
        endings.push_back(ending_here(problem, starts.drawn, followed.converged, watches, tol));
    }
    if (marquardt_from(starts.propagated, budget)) return converged_after(iterations);

    // Every method found only mirror images: each is turned back where it
    // turned over and solved from there, while that keeps finding them.
    std::size_t turned = endings.size();  // the position of the last mirror turned back
    for (int round = 0; round < kTurnBackRounds; ++round) {
        const Ending& mirror = preferred(endings);
        const auto position = static_cast<std::size_t>(&mirror - endings.data());
        // The same mirror turned back again would end where it did.
        if (!mirror.converged || mirror.collapsed || position == turned) break;
        turned = position;
        Eigen::VectorXd x = mirror.x;
        problem.move_to(x);
        if (!watches.turns.turn_back(x)) break;
        if (run_from(levenberg_marquardt, x, budget)) return converged_after(iterations);
    }

    const Ending& kept = preferred(endings);
    problem.move_to(kept.x);
    if (kept.converged && !kept.collapsed) return converged_after(iterations);
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
