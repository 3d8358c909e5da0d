// The store operations: appending, reading, editing in place and removing
// with renumbering.

#include "system/store.hpp"

#include <string>
#include <tuple>

#include "expression/bound_fields.hpp"
#include "system/design_intent_edits.hpp"
#include "system/errors.hpp"
#include "system/references.hpp"

namespace ovralis {
namespace {

// Element `index` of an entity list (const or not), or the index error.
template <typename List>
auto& checked_get(List& list, EntityKind kind, Index index) {
    if (index >= list.size()) throw InvalidReference(out_of_range_message(kind, index));
    return list[index];
}

// Removes, in one stable pass, every constraint that names entity `index` of
// `kind`; the bindings follow.
void drop_constraints_naming(System& system, EntityKind kind, Index index) {
    if (!system.bindings.empty()) {
        std::vector<bool> removed(system.constraints.size());
        for (std::size_t k = 0; k < removed.size(); ++k) {
            removed[k] = references(system.constraints[k], kind, index);
        }
        forget_constraints(system, removed);
    }
    std::erase_if(system.constraints,
                  [&](const Constraint& c) { return references(c, kind, index); });
}

void renumber_constraints(System& system, EntityKind kind, Index removed) {
    for (Constraint& c : system.constraints) renumber(c, kind, removed);
}

// The point indices an entity is built on, as references into it.
auto point_references(Line& l) { return std::tie(l.p1, l.p2); }
auto point_references(Circle& c) { return std::tie(c.center); }
auto point_references(Arc& a) { return std::tie(a.center, a.start, a.end); }
auto point_references(Ellipse& e) { return std::tie(e.center, e.focus1); }
auto point_references(ArcOfEllipse& a) { return std::tie(a.center, a.focus1, a.start, a.end); }

template <typename Entity>
bool built_on(Entity entity, Index point) {
    return std::apply([point](auto&... reference) { return ((reference == point) || ...); },
                      point_references(entity));
}

template <typename Entity>
void lower_points_above(Entity& entity, Index removed) {
    std::apply([removed](auto&... reference) { ((reference -= reference > removed ? 1 : 0), ...); },
               point_references(entity));
}

// Calls visit(list, kind) for every entity list whose entities are built on points.
template <typename Visit>
void for_each_list_built_on_points(System& system, Visit visit) {
    visit(system.lines, EntityKind::Line);
    visit(system.circles, EntityKind::Circle);
    visit(system.arcs, EntityKind::Arc);
    visit(system.ellipses, EntityKind::Ellipse);
    visit(system.arcs_of_ellipse, EntityKind::ArcOfEllipse);
}

// Removal of an entity that only constraints refer to (anything but a point).
template <typename T>
std::size_t remove_entity(System& system, std::vector<T>& list, EntityKind kind, Index index) {
    checked_get(list, kind, index);
    const std::size_t start = system.constraints.size();
    drop_constraints_naming(system, kind, index);
    const std::size_t removed = start - system.constraints.size();
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    renumber_constraints(system, kind, index);
    forget_entity(system, kind, index);
    return removed;
}

// Removes every entity of `list` built on point k, with the constraints on
// it. From the back, so the indices still to visit stay valid.
template <typename T>
void remove_built_on(System& system, std::vector<T>& list, EntityKind kind, Index k) {
    for (Index i = list.size(); i-- > 0;) {
        if (built_on(list[i], k)) remove_entity(system, list, kind, i);
    }
}

void require_constraint(const System& system, Index index) {
    if (index >= system.constraints.size()) {
        throw InvalidReference("Constraint index " + std::to_string(index) + " out of range");
    }
}

}  // namespace

Index add_point(System& system, double x, double y, bool fixed) {
    system.points.push_back(Point{x, y, fixed});
    return system.points.size() - 1;
}

Index add_line(System& system, Index p1, Index p2) {
    system.lines.push_back(Line{p1, p2});
    return system.lines.size() - 1;
}

Index add_circle(System& system, Index center, double radius, bool fixed) {
    system.circles.push_back(Circle{center, radius, fixed});
    return system.circles.size() - 1;
}

Index add_arc(System& system, Index center, Index start, Index end, double radius, bool fixed) {
    system.arcs.push_back(Arc{center, start, end, radius, fixed});
    return system.arcs.size() - 1;
}

void add_constraint(System& system, const Constraint& constraint) {
    system.constraints.push_back(constraint);
}

const Point& get_point(const System& system, Index index) {
    return checked_get(system.points, EntityKind::Point, index);
}

const Line& get_line(const System& system, Index index) {
    return checked_get(system.lines, EntityKind::Line, index);
}

const Circle& get_circle(const System& system, Index index) {
    return checked_get(system.circles, EntityKind::Circle, index);
}

const Arc& get_arc(const System& system, Index index) {
    return checked_get(system.arcs, EntityKind::Arc, index);
}

const Constraint& get_constraint(const System& system, Index index) {
    require_constraint(system, index);
    return system.constraints[index];
}

void set_point(System& system, Index index, double x, double y, std::optional<bool> fixed) {
    Point& point = checked_get(system.points, EntityKind::Point, index);
    point.x = x;
    point.y = y;
    point.fixed = fixed.value_or(point.fixed);
    refresh_bound_fields(system);
}

void set_circle(System& system, Index index, std::optional<double> radius,
                std::optional<bool> fixed) {
    Circle& circle = checked_get(system.circles, EntityKind::Circle, index);
    circle.radius = radius.value_or(circle.radius);
    circle.fixed = fixed.value_or(circle.fixed);
    refresh_bound_fields(system);
}

void set_arc(System& system, Index index, std::optional<double> radius, std::optional<bool> fixed) {
    Arc& arc = checked_get(system.arcs, EntityKind::Arc, index);
    arc.radius = radius.value_or(arc.radius);
    arc.fixed = fixed.value_or(arc.fixed);
    refresh_bound_fields(system);
}

void set_constraint(System& system, Index index, const Constraint& constraint) {
    require_constraint(system, index);
    // A bound field stays bound while its kind stays; another kind has other fields.
    if (constraint.kind != system.constraints[index].kind) {
        std::erase_if(system.bindings, [&](const Binding& b) { return b.constraint == index; });
    }
    system.constraints[index] = constraint;
    refresh_bound_fields(system);
}

std::size_t remove_point(System& system, Index k) {
    checked_get(system.points, EntityKind::Point, k);
    const std::size_t start = system.constraints.size();
    drop_constraints_naming(system, EntityKind::Point, k);
    const std::size_t direct = system.constraints.size();

    // An entity built on point k cannot outlive it: it would silently name
    // whichever point moves into position k.
    for_each_list_built_on_points(
        system, [&](auto& list, EntityKind kind) { remove_built_on(system, list, kind, k); });

    system.points.erase(system.points.begin() + static_cast<std::ptrdiff_t>(k));
    for_each_list_built_on_points(system, [k](auto& list, EntityKind) {
        for (auto& entity : list) lower_points_above(entity, k);
    });
    renumber_constraints(system, EntityKind::Point, k);
    forget_entity(system, EntityKind::Point, k);
    return start - direct;
}

std::size_t remove_line(System& system, Index index) {
    return remove_entity(system, system.lines, EntityKind::Line, index);
}

std::size_t remove_circle(System& system, Index index) {
    return remove_entity(system, system.circles, EntityKind::Circle, index);
}

std::size_t remove_arc(System& system, Index index) {
    return remove_entity(system, system.arcs, EntityKind::Arc, index);
}

Constraint remove_constraint(System& system, Index index) {
    require_constraint(system, index);
    const Constraint removed = system.constraints[index];
    std::vector<bool> gone(system.constraints.size());
    gone[index] = true;
    forget_constraints(system, gone);
    system.constraints.erase(system.constraints.begin() + static_cast<std::ptrdiff_t>(index));
    return removed;
}

void clear_constraints(System& system) {
    system.constraints.clear();
    system.bindings.clear();
}

}  // namespace ovralis
