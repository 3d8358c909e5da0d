// The per-kind sanity checks that verification appends after the residual check.
#pragma once

#include <optional>

#include "system/system.hpp"
#include "validation/verification.hpp"

namespace ovralis {

// The sanity check of one constraint, measured in the sketch's own units and
// named after its kind and list position ("parallel_check[7]"). Kinds without
// such a check, and lines too short to measure against, give nullopt.
// References must have been validated.
std::optional<VerificationCheck> constraint_check(const System& system,
                                                  const Constraint& constraint, Index position);

// Error between a line-to-line angle and its target, both in degrees. Lines
// carry no direction, so angles half a turn apart count as equal: the result
// lies in [0, 90], or is NaN when either input is not finite.
double line_angle_error(double actual, double target);

}  // namespace ovralis
