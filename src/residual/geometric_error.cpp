// The geometric error of one constraint: each kind measures its own, beside its
// residual in its family file.

#include "residual/geometric_error.hpp"

#include "residual/kind_operations.hpp"

namespace ovralis {

double geometric_error(const System& system, const Constraint& c, double length_scale) {
    return kind_operations(c.kind).geometric_error(system, c, length_scale);
}

}  // namespace ovralis
