// The member tables of a document: the top level and each entity's object,
// names and order, walked alike by the writer, the reader and the fuzzer's
// dictionary.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <variant>
#include <vector>

#include "system/entities.hpp"
#include "system/system.hpp"

namespace ovralis {

// The top-level members in writer order: the seven lists, each required, then
// the three settings, each optional with the default of a fresh System.
struct SystemMember {
    std::string_view name;
    std::variant<std::vector<Point> System::*, std::vector<Line> System::*,
                 std::vector<Circle> System::*, std::vector<Arc> System::*,
                 std::vector<Ellipse> System::*, std::vector<ArcOfEllipse> System::*,
                 std::vector<Constraint> System::*, bool System::*, double System::*>
        member;
};

inline constexpr std::array<SystemMember, 10> kSystemMembers{{
    {"points", &System::points},
    {"lines", &System::lines},
    {"circles", &System::circles},
    {"arcs", &System::arcs},
    {"ellipses", &System::ellipses},
    {"arcs_of_ellipse", &System::arcs_of_ellipse},
    {"constraints", &System::constraints},
    {"clamp_radii", &System::clamp_radii},
    {"min_radius", &System::min_radius},
    {"track_convergence", &System::track_convergence},
}};

template <class Value>
constexpr bool is_list(Value System::*) {
    return false;
}
template <class Item>
constexpr bool is_list(std::vector<Item> System::*) {
    return true;
}

constexpr bool is_list(const SystemMember& m) {
    return std::visit([](auto pointer) { return is_list(pointer); }, m.member);
}

// The leading members that a document must give: the lists.
inline constexpr std::size_t kRequiredSystemMembers =
    static_cast<std::size_t>(std::find_if_not(kSystemMembers.begin(), kSystemMembers.end(),
                                              [](const SystemMember& m) { return is_list(m); }) -
                             kSystemMembers.begin());
static_assert(
    std::none_of(kSystemMembers.begin() + kRequiredSystemMembers, kSystemMembers.end(),
                 [](const SystemMember& m) { return is_list(m); }),
    "the lists lead the top level, so the reader can require exactly the leading members");

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

template <class Entity>
constexpr const auto& entity_members();
template <>
constexpr const auto& entity_members<Point>() {
    return kPointMembers;
}
template <>
constexpr const auto& entity_members<Line>() {
    return kLineMembers;
}
template <>
constexpr const auto& entity_members<Circle>() {
    return kCircleMembers;
}
template <>
constexpr const auto& entity_members<Arc>() {
    return kArcMembers;
}
template <>
constexpr const auto& entity_members<Ellipse>() {
    return kEllipseMembers;
}
template <>
constexpr const auto& entity_members<ArcOfEllipse>() {
    return kArcOfEllipseMembers;
}

}  // namespace ovralis
