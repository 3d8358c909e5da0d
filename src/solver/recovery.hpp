// A second chance for a Levenberg–Marquardt run that ended without a sound
// answer.
#pragma once

#include <cstdint>

#include <Eigen/Core>

#include "solver/collapse_watch.hpp"
#include "solver/problem.hpp"
#include "solver/soft_joins.hpp"
#include "solver/turn_watch.hpp"

namespace ovralis {

// What a sound answer must not do: collapse something (or hold only by
// shrinking something), or turn a corner or arc of the drawing the other way.
struct Watches {
    const CollapseWatch& collapse;
    const TurnWatch& turns;
};

// Where the first run started (the drawing after propagation copied each
// equality group's first-named member into the others) and the drawing as
// drawn (each group at the mean of its members, drawn_start.hpp); the two
// are equal when the drawing held every equality. `as_drawn` solves from
// the drawing with its coincidences as equations (soft_joins.hpp).
struct Starts {
    const Eigen::VectorXd& propagated;
    const Eigen::VectorXd& drawn;
    const SoftJoins& as_drawn;
};

// Whether a run that ended this way is worth a recovery: it ran out of
// iterations or of damping (rather than meeting a non-finite cost), or it
// converged only by collapsing something, or only in its residual, or to a
// mirror image of the drawing.
bool recoverable(const SolveReport& report, const Watches& watches, double tol);

// Tries, with at most max_iter iterations (Jacobians) among them and in
// this order until one converges without collapsing anything or turning
// anything over:
//   - when the first run gave up where nothing collapsed, the
//     Marquardt-scaled method (damping proportional to the diagonal of
//     J^T J) from its end nudged off it (a quarter of max_iter);
//   - when the sketch has coincidences, the Marquardt-scaled method from the
//     drawing as drawn with them as equations (soft_joins.hpp, a quarter),
//     its answer then solved with them substituted by Levenberg–Marquardt;
//   - the Marquardt-scaled method from the drawing as drawn when it differs
//     from the propagated one (a quarter);
//   - the continuation from the drawing as drawn (start_homotopy.hpp, half);
//   - the Marquardt-scaled method from the propagated drawing (what is left);
//   - while the best ending is a converged mirror image not yet tried, that
//     ending turned back where it turned over (TurnWatch::turn_back) and
//     solved again by Levenberg–Marquardt, at most three times.
// When none is sound, keeps the first converged ending that collapses
// nothing (a mirror image is still a solution; of those, the one that turns
// the fewest corners and arcs over, then the one nearest the drawing as
// drawn), else the cheapest ending that collapses nothing, else the
// cheapest of all. The entities hold the ending kept; the report counts the
// iterations of every run.
SolveReport recover(Problem& problem, const SolveReport& first, const Starts& starts,
                    const Watches& watches, std::uint64_t max_iter, double tol);

}  // namespace ovralis
