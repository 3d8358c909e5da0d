// Appending to the fixed-size partial-derivative buffer.

#include "residual/constraint_partials.hpp"

#include "system/errors.hpp"

namespace ovralis {

void ConstraintPartials::add(unsigned entry, Parameter parameter, double value, bool constant) {
    if (count == kCapacity) throw InternalError("too many partial derivatives for one constraint");
    items[count++] = Partial{entry, parameter, value, constant};
}

}  // namespace ovralis
