#pragma once

// A point at which a conflict can be judged: one where every constraint that
// is not redundant holds, so that a redundant one holds there exactly when it
// agrees with the constraints before it.

#include <cstddef>
#include <optional>
#include <vector>

#include "solver/interruption.hpp"
#include "system/system.hpp"

namespace ovralis {

// Whether every constraint holds at the entities' current values, judged as
// a solve with this tol judges convergence.
bool every_constraint_holds(const System& system, double tol);

// A copy of `system` whose entities have been solved, from their current
// values, for every constraint except the `dropped` ones (ascending
// positions); its constraint list is the full one. nullopt when that solve
// does not converge. The point depends on the constraints and on which
// solution is nearest, not on how far a failed solve has spread the error of
// a conflict over the sketch: after such a solve every constraint of the
// loop misses a little, while here only those that disagree with the rest do.
// The solves poll `interrupted` and stop with SolveInterrupted when it answers true.
std::optional<System> solved_without(const System& system, const std::vector<std::size_t>& dropped,
                                     double tol, const InterruptPoll& interrupted = {});

// The first `count` constraints of `system`, less the `skipped` ones
// (ascending positions), solved on a copy from the current values.
struct PrefixSolve {
    bool converged = false;
    System end;  // the copy where the solve ended, with the full constraint list
};
PrefixSolve solve_prefix(const System& system, std::size_t count, double tol,
                         const InterruptPoll& interrupted = {},
                         const std::vector<std::size_t>& skipped = {});

}  // namespace ovralis
