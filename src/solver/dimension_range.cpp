// Continuation in one constraint's dimension. On a copy of the store, which
// first follows to its own constraints when they do not hold, the dimension
// is moved from its value v0 towards a far target along the path
// v(s) = v0 + s (target - v0). Where the path turns the tracker's steps
// shrink until they fall below the smallest step, so the value reached is
// the turning point's to within that step. A path that reaches the far
// target is unbounded that way.
//
// Angles are orientation-blind (the residual of an angle between lines is a
// difference of cosines), so their continuation stops at the ends of the
// one interval the kind can tell apart: 0 to 180 degrees between lines or
// rays, 0 to 360 for an arc's sweep.

#include "solver/dimension_range.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "solver/follow.hpp"
#include "solver/normalisation.hpp"
#include "system/errors.hpp"
#include "system/references.hpp"
#include "system/store.hpp"

namespace ovralis {
namespace {

// A length is unbounded once it has grown this many times the larger of its
// own size and the mean point spacing.
constexpr double kFarLength = 1e3;
// In s, whose whole range is the way to the far target.
constexpr double kSmallestStep = 1e-13;
constexpr std::uint64_t kMostSteps = 2000;

struct Side {
    double target;
    bool bounded;  // the target is the kind's own end, not a far value
};

// The dimension's field of a kind that has one.
const FieldSpec& dimension_field(ConstraintKind kind) {
    const KindInfo& info = kind_info(kind);
    const std::uint8_t slot = *dimension_slot(kind);
    for (std::uint8_t f = 0; f < info.field_count; ++f) {
        if (info.fields[f].type == FieldType::Real && info.fields[f].slot == slot) {
            return info.fields[f];
        }
    }
    throw InternalError("a dimension slot without its field");
}

// Where the continuation heads on each side of v0.
std::pair<Side, Side> targets(const Constraint& c, double scale) {
    const FieldSpec& field = dimension_field(c.kind);
    const double v0 = c.value[field.slot];
    if (field.name == "deg") {
        const double end = c.kind == ConstraintKind::ArcSweepAngle ? 360.0 : 180.0;
        return {{0.0, true}, {end, true}};
    }
    const double far = kFarLength * std::max(std::abs(v0), field.is_length ? scale : 1.0);
    return {{v0 - far, false}, {v0 + far, false}};
}

// The value reached from v0 towards `side`, on a copy of `start`.
double reach(const System& start, Index index, const Side& side, double tol,
             const InterruptPoll& interrupted) {
    System system = start;
    const FieldSpec& field = dimension_field(system.constraints[index].kind);
    const std::uint8_t slot = field.slot;
    const bool is_length = field.is_length;
    const double v0 = system.constraints[index].value[slot];
    PathSettings settings;
    settings.max_steps = kMostSteps;
    settings.smallest_step = kSmallestStep;
    const auto set_value = [&](System& normalised, double s) {
        const double value = v0 + s * (side.target - v0);
        normalised.constraints[index].value[slot] =
            is_length ? value / normalised.scale : value;
    };
    const FollowedPath followed = follow_path(system, settings, tol, interrupted, set_value);
    if (followed.path.complete && !side.bounded) {
        return side.target > v0 ? std::numeric_limits<double>::infinity()
                                : -std::numeric_limits<double>::infinity();
    }
    return v0 + followed.path.reached * (side.target - v0);
}

}  // namespace

std::optional<std::uint8_t> dimension_slot(ConstraintKind kind) {
    const KindInfo& info = kind_info(kind);
    std::optional<std::uint8_t> slot;
    for (std::uint8_t f = 0; f < info.field_count; ++f) {
        if (info.fields[f].type != FieldType::Real) continue;
        if (slot) return std::nullopt;
        slot = info.fields[f].slot;
    }
    return slot;
}

DimensionRange dimension_range(const System& system, Index index, double tol,
                               const InterruptPoll& interrupted) {
    validate_references(system);
    const Constraint& constraint = get_constraint(system, index);
    if (!dimension_slot(constraint.kind)) throw InvalidReference("constraint has no dimension");
    System start = system;
    if (!follow(start, kMostSteps, tol, interrupted).converged) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan};
    }
    const auto [below, above] = targets(constraint, length_scale(start));
    return {reach(start, index, below, tol, interrupted),
            reach(start, index, above, tol, interrupted)};
}

}  // namespace ovralis
