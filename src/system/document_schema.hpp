#pragma once

#include <array>
#include <string_view>
#include <variant>

#include "system/entities.hpp"

namespace ovralis {

// The members of each entity's document object, in writer order. The writer
// and the reader both walk these tables, so the two cannot disagree on a name
// or an order. The alternative held by `member` is also the member's JSON
// type: an index (unsigned integer), a real (number) or a flag (boolean).
template <class Entity>
struct EntityMember {
    std::string_view name;
    std::variant<Index Entity::*, double Entity::*, bool Entity::*> member;
};

enum class MemberType : std::uint8_t { Index, Real, Flag };

template <class Entity>
MemberType member_type(const EntityMember<Entity>& m) {
    return static_cast<MemberType>(m.member.index());
}

inline constexpr std::array<EntityMember<Point>, 3> kPointMembers{{
    {"x", &Point::x},
    {"y", &Point::y},
    {"fixed", &Point::fixed},
}};

inline constexpr std::array<EntityMember<Line>, 2> kLineMembers{{
    {"p1", &Line::p1},
    {"p2", &Line::p2},
}};

inline constexpr std::array<EntityMember<Circle>, 3> kCircleMembers{{
    {"center", &Circle::center},
    {"radius", &Circle::radius},
    {"fixed", &Circle::fixed},
}};

inline constexpr std::array<EntityMember<Arc>, 5> kArcMembers{{
    {"center", &Arc::center},
    {"start", &Arc::start},
    {"end", &Arc::end},
    {"radius", &Arc::radius},
    {"fixed", &Arc::fixed},
}};

inline constexpr std::array<EntityMember<Ellipse>, 4> kEllipseMembers{{
    {"center", &Ellipse::center},
    {"focus1", &Ellipse::focus1},
    {"radmin", &Ellipse::radmin},
    {"fixed", &Ellipse::fixed},
}};

inline constexpr std::array<EntityMember<ArcOfEllipse>, 6> kArcOfEllipseMembers{{
    {"center", &ArcOfEllipse::center},
    {"focus1", &ArcOfEllipse::focus1},
    {"radmin", &ArcOfEllipse::radmin},
    {"start", &ArcOfEllipse::start},
    {"end", &ArcOfEllipse::end},
    {"fixed", &ArcOfEllipse::fixed},
}};

template <class Entity> constexpr const auto& entity_members();
template <> constexpr const auto& entity_members<Point>() { return kPointMembers; }
template <> constexpr const auto& entity_members<Line>() { return kLineMembers; }
template <> constexpr const auto& entity_members<Circle>() { return kCircleMembers; }
template <> constexpr const auto& entity_members<Arc>() { return kArcMembers; }
template <> constexpr const auto& entity_members<Ellipse>() { return kEllipseMembers; }
template <> constexpr const auto& entity_members<ArcOfEllipse>() { return kArcOfEllipseMembers; }

}  // namespace ovralis
