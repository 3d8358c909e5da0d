// Dragging a point: the move an interactive editor makes when the user pulls
// a point and the rest of the sketch follows as little as it can.
#pragma once

#include <cstdint>

#include "solver/interruption.hpp"
#include "solver/solve.hpp"
#include "system/system.hpp"

namespace ovralis {

// Moves point `point` as close to (x, y) as the constraints allow while every
// other free value moves as little as possible, then reports like solve().
// When the constraints cannot be satisfied, the store is left exactly as it
// was before the call and the result says not converged.
SolveResult drag(System& system, Index point, double x, double y, std::uint64_t max_iter,
                 double tol, const InterruptPoll& interrupted = {});

}  // namespace ovralis
