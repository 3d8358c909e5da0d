// Recovery after Levenberg–Marquardt gives up.
//
// The plain method damps with lambda I in normalised units and never resets
// lambda; it can stall where the gradient vanishes (its step is then zero and
// is accepted without moving) or crawl when the columns of J differ widely in
// size. Restarting from its end point with Marquardt scaling, which damps each
// variable in proportion to its own curvature and starts from a damping taken
// from J^T J, after the nudge the other methods use off stationary points,
// addresses both, and costs at most as many iterations again.

#include "solver/recovery.hpp"

#include "solver/method_support.hpp"

namespace ovralis {

bool recoverable(const SolveReport& report) {
    return report.outcome == SolveOutcome::IterationLimit ||
           report.outcome == SolveOutcome::DampingLimit;
}

SolveReport recover(Problem& problem, const SolveReport& first, std::uint64_t max_iter,
                    double tol) {
    const Eigen::VectorXd first_end = problem.start();
    const double first_cost = problem.cost(first_end);
    Eigen::VectorXd nudged = first_end;
    perturb_off_stationary_point(nudged);
    problem.move_to(nudged);

    SolveReport second = sparse_levenberg_marquardt(problem, max_iter, tol);
    second.iterations += first.iterations;
    if (second.converged) return second;
    // A recovery that ends worse than the first run gives its point back.
    if (!(problem.cost(problem.start()) < first_cost)) problem.move_to(first_end);
    return second;
}

}  // namespace ovralis
