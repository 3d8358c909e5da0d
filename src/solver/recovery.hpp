// A second chance for a Levenberg–Marquardt run that ended without a sound
// answer.
#pragma once

#include <cstdint>

#include <Eigen/Core>

#include "solver/collapse_watch.hpp"
#include "solver/problem.hpp"

namespace ovralis {

// Whether a run that ended this way is worth a recovery: it ran out of
// iterations or of damping (rather than meeting a non-finite cost), or it
// converged only by collapsing something `watch` guards.
bool recoverable(const SolveReport& report, const CollapseWatch& watch);

// Tries, with at most max_iter iterations (Jacobians) among them and in this
// order until one converges without collapsing anything: the continuation from the drawing
// `drawing` (start_homotopy.hpp), the Marquardt-scaled method (damping
// proportional to the diagonal of J^T J) from the first run's end nudged off
// it unless that end collapsed, and the same method from the drawing. When
// none does, keeps the cheapest ending that collapses nothing, or the
// cheapest of all when every one collapses. The entities hold the ending
// kept; the report counts the iterations of every run.
SolveReport recover(Problem& problem, const SolveReport& first, const Eigen::VectorXd& drawing,
                    const CollapseWatch& watch, std::uint64_t max_iter, double tol);

}  // namespace ovralis
