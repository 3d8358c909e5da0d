// Continuation from the drawing: the solution connected to where the user
// drew the sketch.
#pragma once

#include <cstdint>

#include <Eigen/Core>

#include "solver/collapse_watch.hpp"
#include "solver/problem.hpp"

namespace ovralis {

struct HomotopyEnd {
    Eigen::VectorXd x;         // the last point on the path
    double reached = 0.0;      // how far along it: 1 at the end
    std::uint64_t jacobians = 0;
    bool converged = false;    // reached, and every residual entry within tol
};

// Tracks the path r(x) = (1 - t) r(x0) from t = 0, where the start x0 lies
// on it, to t = 1, where it meets a solution: an Euler predictor along the
// path's least-norm tangent, then least-norm Newton corrections (both in J's
// row space, so what the constraints leave free stays put), with a step in
// t that doubles after an easy stretch and halves after a failed one. A
// point where anything collapses (`watch`) is off the path. Stops at t = 1,
// when the step in t falls below a thousandth (a turning point: the path
// folds back), where the tangent is zero (the constraints have no
// derivative there), or after `most_jacobians` Jacobians. The entities hold x on
// return.
HomotopyEnd track_from_start(Problem& problem, const Eigen::VectorXd& x0,
                             const CollapseWatch& watch, std::uint64_t most_jacobians, double tol);

}  // namespace ovralis
