// Other solutions of a sketch's constraints near the one it holds: the
// configurations a front end offers as "flip this".
#pragma once

#include <cstddef>
#include <vector>

#include "solver/interruption.hpp"
#include "system/system.hpp"

namespace ovralis {

// Up to `limit` solved copies of `system`, each satisfying the convergence
// judge and passing the verification's branch and degeneracy checks (an
// angle between lines is measured one way round), each differing from `system` and from every other beyond the
// solve's tolerance, nearest first. Candidates start from free points
// reflected over the line through two of their constrained neighbours (the
// apex of a triangle over its base, a circles' intersection over the line of
// centres, a circle over its tangent line, a linkage's joint over the line of
// the joints it connects) and, for a sketch with no degrees of freedom left,
// from perturbations of every free point; each is followed to the
// constraints, or solved where that fails. `system` is not changed; it should
// hold its constraints. Validates references first.
std::vector<System> alternatives(const System& system, std::size_t limit, double tol,
                                 const InterruptPoll& interrupted = {});

}  // namespace ovralis
