#pragma once

#include <array>
#include <cstddef>

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

    void add(unsigned entry, Parameter parameter, double value, bool constant = false);
    const Partial* begin() const { return items.data(); }
    const Partial* end() const { return items.data() + count; }
};

// The exact derivatives of a constraint's residual entries with respect to every
// parameter they read, at the entities' current values, with the degenerate
// configurations guarded: a guarded term is left out rather than divided by a
// vanishing length. Replaces the previous contents of `out`. A parameter may
// appear more than once (the same point named twice); its terms add up.
// Indices must have been validated.
void differentiate(const System& system, const Constraint& constraint, ConstraintPartials& out);

}  // namespace ovralis
