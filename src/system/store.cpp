#include "system/store.hpp"

#include "system/errors.hpp"
#include "system/references.hpp"

namespace ovralis {
namespace {

template <typename T>
const T& checked_get(const std::vector<T>& list, EntityKind kind, Index index) {
    if (index >= list.size()) throw InvalidReference(out_of_range_message(kind, index));
    return list[index];
}

// Removes, in one stable pass, every constraint that names entity `index` of `kind`.
void drop_constraints_naming(System& system, EntityKind kind, Index index) {
    std::erase_if(system.constraints,
                  [&](const Constraint& c) { return references(c, kind, index); });
}

void renumber_constraints(System& system, EntityKind kind, Index removed) {
    for (Constraint& c : system.constraints) renumber(c, kind, removed);
}

void lower_if_above(Index& reference, Index removed) {
    if (reference > removed) --reference;
}

// Lowers every point reference held by an entity above the removed point.
void renumber_entity_points(System& system, Index removed) {
    for (Line& l : system.lines) {
        lower_if_above(l.p1, removed);
        lower_if_above(l.p2, removed);
    }
    for (Circle& c : system.circles) lower_if_above(c.center, removed);
    for (Arc& a : system.arcs) {
        lower_if_above(a.center, removed);
        lower_if_above(a.start, removed);
        lower_if_above(a.end, removed);
    }
    for (Ellipse& e : system.ellipses) {
        lower_if_above(e.center, removed);
        lower_if_above(e.focus1, removed);
    }
    for (ArcOfEllipse& a : system.arcs_of_ellipse) {
        lower_if_above(a.center, removed);
        lower_if_above(a.focus1, removed);
        lower_if_above(a.start, removed);
        lower_if_above(a.end, removed);
    }
}

// Drops the constraints on every entity of `list` that `uses_point` says depends on point k.
template <typename T, typename UsesPoint>
void drop_constraints_on_dependents(System& system, const std::vector<T>& list, EntityKind kind,
                                    UsesPoint uses_point) {
    for (Index i = 0; i < list.size(); ++i) {
        if (uses_point(list[i])) drop_constraints_naming(system, kind, i);
    }
}

// Removal of a line, circle or arc: nothing else refers to these kinds but constraints.
template <typename T>
std::size_t remove_entity(System& system, std::vector<T>& list, EntityKind kind, Index index) {
    checked_get(list, kind, index);
    const std::size_t start = system.constraints.size();
    drop_constraints_naming(system, kind, index);
    const std::size_t removed = start - system.constraints.size();
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(index));
    renumber_constraints(system, kind, index);
    return removed;
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

std::size_t remove_point(System& system, Index k) {
    checked_get(system.points, EntityKind::Point, k);
    const std::size_t start = system.constraints.size();
    drop_constraints_naming(system, EntityKind::Point, k);
    const std::size_t direct = system.constraints.size();

    // Entities built on point k stay in their lists, but the constraints on
    // them go: they could no longer mean what they meant.
    drop_constraints_on_dependents(system, system.lines, EntityKind::Line,
                                   [k](const Line& l) { return l.p1 == k || l.p2 == k; });
    drop_constraints_on_dependents(system, system.circles, EntityKind::Circle,
                                   [k](const Circle& c) { return c.center == k; });
    drop_constraints_on_dependents(
        system, system.arcs, EntityKind::Arc,
        [k](const Arc& a) { return a.center == k || a.start == k || a.end == k; });
    drop_constraints_on_dependents(
        system, system.ellipses, EntityKind::Ellipse,
        [k](const Ellipse& e) { return e.center == k || e.focus1 == k; });
    drop_constraints_on_dependents(system, system.arcs_of_ellipse, EntityKind::ArcOfEllipse,
                                   [k](const ArcOfEllipse& a) {
                                       return a.center == k || a.focus1 == k || a.start == k ||
                                              a.end == k;
                                   });

    system.points.erase(system.points.begin() + static_cast<std::ptrdiff_t>(k));
    renumber_entity_points(system, k);
    renumber_constraints(system, EntityKind::Point, k);
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
    if (index >= system.constraints.size()) {
        throw InvalidReference("Constraint index " + std::to_string(index) + " out of range");
    }
    const Constraint removed = system.constraints[index];
    system.constraints.erase(system.constraints.begin() + static_cast<std::ptrdiff_t>(index));
    return removed;
}

void clear_constraints(System& system) { system.constraints.clear(); }

}  // namespace ovralis
