// A second chance for a Levenberg–Marquardt run that ended without converging.
#pragma once

#include <cstdint>

#include "solver/problem.hpp"

namespace ovralis {

// Whether a run that ended this way is worth a recovery: it ran out of
// iterations or of damping, rather than meeting a non-finite cost.
bool recoverable(const SolveReport& report);

// Continues from the point the entities hold (where the first run ended),
// nudged off it deterministically, with the Marquardt-scaled method (damping
// proportional to the diagonal of J^T J, one attempt per iteration) for at
// most max_iter iterations. Keeps the cheaper of the two end points in the
// entities. The report counts the iterations of both runs.
SolveReport recover(Problem& problem, const SolveReport& first, std::uint64_t max_iter, double tol);

}  // namespace ovralis
