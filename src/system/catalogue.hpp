#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "system/entities.hpp"

namespace ovralis {

// The 44 constraint kinds. The numeric value is the kind's tag; the order is
// also the order of the document format and of every per-kind dispatch.
enum class ConstraintKind : std::uint8_t {
    Distance,
    Horizontal,
    Vertical,
    Coincident,
    PointOnLine,
    Parallel,
    Perpendicular,
    Angle,
    EqualLength,
    FixedPoint,
    PointOnCircle,
    LineCircleTangent,
    CircleCircleTangent,
    CircleCircleTangentInternal,
    AngleBetweenPoints,
    Midpoint,
    EqualRadius,
    Concentric,
    Symmetry,
    PointLineDistance,
    LineLineIntersection,
    CircleRadius,
    PointOnLineAt,
    PointOnArc,
    LineArcTangent,
    ArcArcTangent,
    ArcArcTangentInternal,
    ArcCircleTangent,
    ArcCircleTangentInternal,
    ArcRadius,
    ArcSweepAngle,
    LineArcStartTangent,
    LineArcEndTangent,
    PointOnEllipse,
    EllipseTangentLine,
    EqualMajorAxes,
    EqualMinorAxes,
    PointOnArcOfEllipse,
    EllipseRadmin,
    C2CDistance,
    P2CDistance,
    ArcLength,
    EqualLineLength,
    EllipseFocusDistance,
};

inline constexpr std::size_t kConstraintKindCount = 44;

// What one field of a constraint holds: an index into one entity list, or a real.
enum class FieldType : std::uint8_t { Point, Line, Circle, Arc, Ellipse, ArcOfEllipse, Real };

struct FieldSpec {
    std::string_view name;
    FieldType type;
    // Position in Constraint::index (index fields) or Constraint::value (reals).
    std::uint8_t slot;
    // A real in the coordinate unit (d, r, len, x, y), scaled with the sketch.
    bool is_length;
};

struct KindInfo {
    std::string_view name;
    std::uint8_t field_count;
    std::array<FieldSpec, 4> fields;
    std::uint8_t equations;  // entries in the full residual vector
    bool eliminated;         // satisfied by substitution in the variable layout
};

const KindInfo& kind_info(ConstraintKind kind);
std::optional<ConstraintKind> kind_from_name(std::string_view name);

// A constraint is a tagged record with uniform storage: its index fields fill
// `index` and its real fields fill `value`, each in declared field order. The
// catalogue's FieldSpec::slot says which field lives where.
struct Constraint {
    ConstraintKind kind = ConstraintKind::Distance;
    std::array<Index, 3> index{};
    std::array<double, 2> value{};
};

inline std::string_view kind_name(const Constraint& c) { return kind_info(c.kind).name; }
inline unsigned equation_count(const Constraint& c) { return kind_info(c.kind).equations; }
inline bool is_eliminated(const Constraint& c) { return kind_info(c.kind).eliminated; }

// The entity list an index field points into; nullopt for a real field.
std::optional<EntityKind> entity_kind_of(FieldType type);

// Whether any field of `entity` kind holds `index`.
bool references(const Constraint& c, EntityKind entity, Index index);

// Lowers by one every field of `entity` kind whose value exceeds `removed`.
void renumber(Constraint& c, EntityKind entity, Index removed);

}  // namespace ovralis
