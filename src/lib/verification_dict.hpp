#pragma once

#include "lib/py_ref.hpp"
#include "validation/verification.hpp"

namespace ovralis::py {

// The dictionary that verify_solution and solve_and_verify return, with its
// keys in this order: "verdict", "is_correct", "max_residual", "tolerance",
// "summary", "num_checks", "failed_checks", "geometry_warnings".
Ref verification_dict(const VerificationReport& report);

}  // namespace ovralis::py
