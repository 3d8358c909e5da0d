// System.follow: reaching the constraint values along a continuous path from
// the configuration the store holds, so that an edit never lands on another
// branch of solutions.
#pragma once

#include <cstdint>
#include <functional>

#include "solver/interruption.hpp"
#include "solver/path_tracker.hpp"
#include "system/system.hpp"

namespace ovralis {

struct FollowResult {
    bool converged = false;
    std::uint64_t iterations = 0;  // corrector iterations, one linearisation each
    std::uint64_t steps = 0;       // steps kept along the path
    double max_residual = 0.0;     // of the full residual, where the store ends
    double reached = 0.0;          // how far along the path, 1.0 when converged
};

// Follows the homotopy r(x) - (1 - s) r(x0) from s = 0 to 1 with minimum-norm
// steps. A sketch whose constraints already hold (by the convergence judge)
// is not touched. When the path meets a turning point, runs out of
// `max_iter` steps, or ends where the judge says the geometry does not hold,
// the store is left exactly as it was; an interruption (SolveInterrupted)
// does the same. Validates references first (InvalidReference).
FollowResult follow(System& system, std::uint64_t max_iter, double tol,
                    const InterruptPoll& interrupted = {});

// Where a path ends in the caller's units, and how far it got.
struct FollowedPath {
    PathEnd path;
    bool holds = false;  // the path is complete and the convergence judge is satisfied
};

// Tracks a path on the prepared, normalised store and puts the caller's units
// back, leaving the store at the path's end (refined there when complete);
// the caller decides whether to keep it. `set_parameter(system, s)` moves
// the constraint values that change along the path, in the store's current
// units; it is called with the store normalised. References must be valid.
FollowedPath follow_path(System& system, const PathSettings& settings, double tol,
                         const InterruptPoll& interrupted,
                         const std::function<void(System&, double)>& set_parameter = {});

}  // namespace ovralis
