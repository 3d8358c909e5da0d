#include "system/catalogue.hpp"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace ovralis {
namespace {

using F = FieldType;

// Reals named d, r, len, x or y are lengths; deg and t are not.
constexpr bool is_length(std::string_view name, FieldType type) {
    return type == F::Real &&
           (name == "d" || name == "r" || name == "len" || name == "x" || name == "y");
}

constexpr KindInfo kind(std::string_view name, std::uint8_t equations, bool eliminated,
                        std::initializer_list<std::pair<std::string_view, FieldType>> specs) {
    KindInfo info{name, 0, {}, equations, eliminated};
    std::uint8_t indices = 0;
    std::uint8_t reals = 0;
    for (const auto& [field_name, type] : specs) {
        const std::uint8_t slot = type == F::Real ? reals++ : indices++;
        info.fields[info.field_count++] =
            FieldSpec{field_name, type, slot, is_length(field_name, type)};
    }
    return info;
}

constexpr std::array<KindInfo, kConstraintKindCount> kCatalogue{{
    kind("Distance", 1, false, {{"p1", F::Point}, {"p2", F::Point}, {"d", F::Real}}),
    kind("Horizontal", 1, true, {{"p1", F::Point}, {"p2", F::Point}}),
    kind("Vertical", 1, true, {{"p1", F::Point}, {"p2", F::Point}}),
    kind("Coincident", 2, true, {{"p1", F::Point}, {"p2", F::Point}}),
    kind("PointOnLine", 1, false, {{"point", F::Point}, {"line", F::Line}}),
    kind("Parallel", 1, false, {{"l1", F::Line}, {"l2", F::Line}}),
    kind("Perpendicular", 1, false, {{"l1", F::Line}, {"l2", F::Line}}),
    kind("Angle", 1, false, {{"l1", F::Line}, {"l2", F::Line}, {"deg", F::Real}}),
    kind("EqualLength", 1, false, {{"l1", F::Line}, {"l2", F::Line}}),
    kind("FixedPoint", 2, false, {{"point", F::Point}, {"x", F::Real}, {"y", F::Real}}),
    kind("PointOnCircle", 1, false, {{"point", F::Point}, {"circle", F::Circle}}),
    kind("LineCircleTangent", 1, false, {{"line", F::Line}, {"circle", F::Circle}}),
    kind("CircleCircleTangent", 1, false, {{"c1", F::Circle}, {"c2", F::Circle}}),
    kind("CircleCircleTangentInternal", 1, false, {{"c1", F::Circle}, {"c2", F::Circle}}),
    kind("AngleBetweenPoints", 1, false,
         {{"a", F::Point}, {"b", F::Point}, {"c", F::Point}, {"deg", F::Real}}),
    kind("Midpoint", 2, false, {{"m", F::Point}, {"p1", F::Point}, {"p2", F::Point}}),
    kind("EqualRadius", 1, true, {{"c1", F::Circle}, {"c2", F::Circle}}),
    kind("Concentric", 2, true, {{"c1", F::Circle}, {"c2", F::Circle}}),
    kind("Symmetry", 2, false, {{"p_out", F::Point}, {"p_in", F::Point}, {"line", F::Line}}),
    kind("PointLineDistance", 1, false, {{"point", F::Point}, {"line", F::Line}, {"d", F::Real}}),
    kind("LineLineIntersection", 2, false, {{"point", F::Point}, {"l1", F::Line}, {"l2", F::Line}}),
    kind("CircleRadius", 1, false, {{"circle", F::Circle}, {"r", F::Real}}),
    kind("PointOnLineAt", 2, false, {{"point", F::Point}, {"line", F::Line}, {"t", F::Real}}),
    kind("PointOnArc", 1, false, {{"point", F::Point}, {"arc", F::Arc}}),
    kind("LineArcTangent", 1, false, {{"line", F::Line}, {"arc", F::Arc}}),
    kind("ArcArcTangent", 1, false, {{"a1", F::Arc}, {"a2", F::Arc}}),
    kind("ArcArcTangentInternal", 1, false, {{"a1", F::Arc}, {"a2", F::Arc}}),
    kind("ArcCircleTangent", 1, false, {{"arc", F::Arc}, {"circle", F::Circle}}),
    kind("ArcCircleTangentInternal", 1, false, {{"arc", F::Arc}, {"circle", F::Circle}}),
    kind("ArcRadius", 1, false, {{"arc", F::Arc}, {"r", F::Real}}),
    kind("ArcSweepAngle", 1, false, {{"arc", F::Arc}, {"deg", F::Real}}),
    kind("LineArcStartTangent", 1, false, {{"line", F::Line}, {"arc", F::Arc}}),
    kind("LineArcEndTangent", 1, false, {{"line", F::Line}, {"arc", F::Arc}}),
    kind("PointOnEllipse", 1, false, {{"point", F::Point}, {"ellipse", F::Ellipse}}),
    kind("EllipseTangentLine", 1, false, {{"line", F::Line}, {"ellipse", F::Ellipse}}),
    kind("EqualMajorAxes", 1, false, {{"e1", F::Ellipse}, {"e2", F::Ellipse}}),
    kind("EqualMinorAxes", 1, true, {{"e1", F::Ellipse}, {"e2", F::Ellipse}}),
    kind("PointOnArcOfEllipse", 1, false,
         {{"point", F::Point}, {"arc_of_ellipse", F::ArcOfEllipse}}),
    kind("EllipseRadmin", 1, false, {{"ellipse", F::Ellipse}, {"r", F::Real}}),
    kind("C2CDistance", 1, false, {{"c1", F::Circle}, {"c2", F::Circle}, {"d", F::Real}}),
    kind("P2CDistance", 1, false, {{"point", F::Point}, {"circle", F::Circle}, {"d", F::Real}}),
    kind("ArcLength", 1, false, {{"arc", F::Arc}, {"len", F::Real}}),
    kind("EqualLineLength", 1, false, {{"l1", F::Line}, {"l2", F::Line}}),
    kind("EllipseFocusDistance", 1, false, {{"ellipse", F::Ellipse}, {"d", F::Real}}),
}};

}  // namespace

const KindInfo& kind_info(ConstraintKind kind) {
    return kCatalogue[static_cast<std::size_t>(kind)];
}

std::optional<ConstraintKind> kind_from_name(std::string_view name) {
    const auto found = std::find_if(kCatalogue.begin(), kCatalogue.end(),
                                    [&](const KindInfo& info) { return info.name == name; });
    if (found == kCatalogue.end()) return std::nullopt;
    return static_cast<ConstraintKind>(found - kCatalogue.begin());
}

std::optional<EntityKind> entity_kind_of(FieldType type) {
    switch (type) {
        case F::Point: return EntityKind::Point;
        case F::Line: return EntityKind::Line;
        case F::Circle: return EntityKind::Circle;
        case F::Arc: return EntityKind::Arc;
        case F::Ellipse: return EntityKind::Ellipse;
        case F::ArcOfEllipse: return EntityKind::ArcOfEllipse;
        case F::Real: return std::nullopt;
    }
    return std::nullopt;
}

bool references(const Constraint& c, EntityKind entity, Index index) {
    const KindInfo& info = kind_info(c.kind);
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        const FieldSpec& spec = info.fields[i];
        if (entity_kind_of(spec.type) == entity && c.index[spec.slot] == index) return true;
    }
    return false;
}

void renumber(Constraint& c, EntityKind entity, Index removed) {
    const KindInfo& info = kind_info(c.kind);
    for (std::uint8_t i = 0; i < info.field_count; ++i) {
        const FieldSpec& spec = info.fields[i];
        if (entity_kind_of(spec.type) == entity && c.index[spec.slot] > removed) {
            --c.index[spec.slot];
        }
    }
}

const char* entity_kind_name(EntityKind kind) {
    switch (kind) {
        case EntityKind::Point: return "Point";
        case EntityKind::Line: return "Line";
        case EntityKind::Circle: return "Circle";
        case EntityKind::Arc: return "Arc";
        case EntityKind::Ellipse: return "Ellipse";
        case EntityKind::ArcOfEllipse: return "ArcOfEllipse";
    }
    return "Entity";
}

}  // namespace ovralis
