#pragma once

// The buffer a constraint kind writes its partial derivatives into.

#include <array>
#include <cstddef>

#include "system/errors.hpp"
#include "system/system.hpp"

namespace ovralis {

// One partial derivative of one residual entry of a constraint with respect to
// one entity parameter. `constant` marks coefficients that do not depend on the
// geometry (the +-1 and -0.5 of the linear kinds): the triplet producer keeps
// them even when another term cancels them out.
struct Partial {
    unsigned entry = 0;
    Parameter parameter{ParamKind::PointX, 0};
    double value = 0.0;
    bool constant = false;
};

// The partial derivatives of one constraint, in a fixed-size buffer so that the
// producers can walk hundreds of thousands of constraints without allocating.
struct ConstraintPartials {
    // Enough for the largest kind, LineLineIntersection: at most two entries
    // times five points times two coordinates.
    static constexpr std::size_t kCapacity = 20;

    std::array<Partial, kCapacity> items{};
    std::size_t count = 0;

    // Inline: the Jacobian producers call it for every partial of every
    // constraint.
    void add(unsigned entry, Parameter parameter, double value, bool constant = false) {
        if (count == kCapacity) throw InternalError("too many partial derivatives for one constraint");
        items[count++] = Partial{entry, parameter, value, constant};
    }
    const Partial* begin() const { return items.data(); }
    const Partial* end() const { return items.data() + count; }
};

}  // namespace ovralis
