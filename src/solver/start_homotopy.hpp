// Continuation from the drawing: the solution connected to where the user
// drew the sketch.
#pragma once

#include <cstdint>

#include <Eigen/Core>

#include "solver/collapse_watch.hpp"
#include "solver/problem.hpp"
#include "solver/turn_watch.hpp"

namespace ovralis {

struct HomotopyEnd {
    Eigen::VectorXd x;         // the last point on the path
    double reached = 0.0;      // how far along it: 1 at the end
    std::uint64_t jacobians = 0;
    bool converged = false;    // reached, and every residual entry within tol
};

// Tracks the path r(x) = (1 - t) r(x0) from t = 0, where the start x0 lies
// on it, to t = 1, where it meets a solution, with the follow's tracker
// (path_tracker.hpp: minimum-norm predictor and corrector, so what the
// constraints leave free stays put, and a step that adapts to how the
// corrector behaves). A point where anything collapses (`watch`) or more
// corners and arcs of the drawing are turned over (`turns`) than at x0 is
// off the path: the tracker stops short of it rather than hand over a mirror
// image. (x0 itself may turn some over: the watch records the drawing
// before its equalities were made to hold, which no variable vector is.)
// Stops at t = 1, at a turning point (the path folds back), or after
// `most_jacobians` Jacobians. The entities hold x on return.
HomotopyEnd track_from_start(Problem& problem, const Eigen::VectorXd& x0,
                             const CollapseWatch& watch, const TurnWatch& turns,
                             std::uint64_t most_jacobians, double tol);

}  // namespace ovralis
