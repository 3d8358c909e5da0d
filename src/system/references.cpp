#include "system/references.hpp"

#include <initializer_list>

#include "system/design_intent_edits.hpp"
#include "system/errors.hpp"

namespace ovralis {
namespace {

void require(const System& system, EntityKind kind, Index index) {
    if (index >= entity_count(system, kind))
        throw InvalidReference(out_of_range_message(kind, index));
}

void require_points(const System& system, std::initializer_list<Index> indices) {
    for (Index index : indices) require(system, EntityKind::Point, index);
}

}  // namespace

std::size_t entity_count(const System& system, EntityKind kind) {
    switch (kind) {
        case EntityKind::Point: return system.points.size();
        case EntityKind::Line: return system.lines.size();
        case EntityKind::Circle: return system.circles.size();
        case EntityKind::Arc: return system.arcs.size();
        case EntityKind::Ellipse: return system.ellipses.size();
        case EntityKind::ArcOfEllipse: return system.arcs_of_ellipse.size();
    }
    return 0;
}

std::string out_of_range_message(EntityKind kind, Index index) {
    return std::string(entity_kind_name(kind)) + " index " + std::to_string(index) +
           " out of range";
}

void validate_references(const System& system) {
    for (const Line& l : system.lines) require_points(system, {l.p1, l.p2});
    for (const Circle& c : system.circles) require_points(system, {c.center});
    for (const Arc& a : system.arcs) require_points(system, {a.center, a.start, a.end});
    for (const Ellipse& e : system.ellipses) require_points(system, {e.center, e.focus1});
    for (const ArcOfEllipse& a : system.arcs_of_ellipse) {
        require_points(system, {a.center, a.focus1, a.start, a.end});
    }
    for (const Constraint& c : system.constraints) {
        const KindInfo& info = kind_info(c.kind);
        for (std::uint8_t i = 0; i < info.field_count; ++i) {
            const FieldSpec& spec = info.fields[i];
            if (const auto entity = entity_kind_of(spec.type)) {
                require(system, *entity, c.index[spec.slot]);
            }
        }
    }
    validate_design_intent_references(system);
}

}  // namespace ovralis
