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

// Positions here are those of the analysis items (analysis_items.hpp): the
// constraints, then the design-intent equations.

// Whether every constraint and equation holds at the entities' current
// values, judged as a solve with this tol judges convergence.
bool every_constraint_holds(const System& system, double tol);

// A copy of `system` whose entities have been solved, from their current
// values, for every constraint except the `dropped` ones (ascending
// positions); its constraint and equation lists are the full ones. nullopt when that solve
// does not converge. The point depends on the constraints and on which
// solution is nearest, not on how far a failed solve has spread the error of
// a conflict over the sketch: after such a solve every constraint of the
// loop misses a little, while here only those that disagree with the rest do.
// The solves poll `interrupted` and stop with SolveInterrupted when it answers true.
std::optional<System> solved_without(const System& system, const std::vector<std::size_t>& dropped,
                                     double tol, const InterruptPoll& interrupted = {});

// The first `count` items of `system`, less the `skipped` ones (ascending
// positions), solved on a copy from the current values.
struct PrefixSolve {
    bool converged = false;
    System end;  // the copy where the solve ended, with every item back
};
PrefixSolve solve_prefix(const System& system, std::size_t count, double tol,
                         const InterruptPoll& interrupted = {},
                         const std::vector<std::size_t>& skipped = {});

}  // namespace ovralis
