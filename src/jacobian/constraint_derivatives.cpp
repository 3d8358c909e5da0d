// The partial derivatives of one constraint: each kind differentiates its own
// equation beside it, in its family file.

#include "jacobian/constraint_derivatives.hpp"

#include "residual/kind_operations.hpp"

namespace ovralis {

void differentiate(const System& system, const Constraint& constraint, ConstraintPartials& out) {
    out.count = 0;
    kind_operations(constraint.kind).differentiate(system, constraint, out);
}

}  // namespace ovralis
