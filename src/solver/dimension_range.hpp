// How far one dimension can be changed before follow() meets a turning point.
#pragma once

#include <cstdint>
#include <optional>

#include "solver/interruption.hpp"
#include "system/system.hpp"

namespace ovralis {

// The slot in Constraint::value of a kind's one dimension; nullopt for a kind
// with no real field, or with two (FixedPoint's x and y).
std::optional<std::uint8_t> dimension_slot(ConstraintKind kind);

struct DimensionRange {
    double low = 0.0;
    double high = 0.0;
};

// The values of constraint `index`'s dimension that follow() reaches from the
// store's configuration: the current branch's limits, -inf/inf where
// unbounded, NaN/NaN when the sketch's own constraints cannot be followed to.
// Continues in the dimension towards each side until the path turns, with a
// step that shrinks to the turning point's neighbourhood. The store is not
// changed. Throws InvalidReference for a bad index; the kind must have a
// dimension (dimension_slot).
DimensionRange dimension_range(const System& system, Index index, double tol,
                               const InterruptPoll& interrupted = {});

}  // namespace ovralis
