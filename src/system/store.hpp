#pragma once

#include <cstddef>
#include <optional>

#include "system/system.hpp"

namespace ovralis {

// Appending never checks indices: an entity or constraint may name an entity
// that does not exist yet (or any more). Operations that read through indices
// validate them first (see references.hpp).
Index add_point(System& system, double x, double y, bool fixed);
Index add_line(System& system, Index p1, Index p2);
Index add_circle(System& system, Index center, double radius, bool fixed);
Index add_arc(System& system, Index center, Index start, Index end, double radius, bool fixed);
void add_constraint(System& system, const Constraint& constraint);

// Reads raise InvalidReference ("Point index 5 out of range") past the end.
const Point& get_point(const System& system, Index index);
const Line& get_line(const System& system, Index index);
const Circle& get_circle(const System& system, Index index);
const Arc& get_arc(const System& system, Index index);
const Constraint& get_constraint(const System& system, Index index);

// Edits in place: every index stays what it was. An unset optional leaves
// that value as it is. A bad index raises InvalidReference and changes nothing.
void set_point(System& system, Index index, double x, double y, std::optional<bool> fixed);
void set_circle(System& system, Index index, std::optional<double> radius,
                std::optional<bool> fixed);
void set_arc(System& system, Index index, std::optional<double> radius, std::optional<bool> fixed);
void set_constraint(System& system, Index index, const Constraint& constraint);

// Removals return the number of constraints that named the entity directly.
// An index past the end raises InvalidReference and changes nothing. Removing
// a point also removes every line, circle, arc, ellipse and arc of ellipse
// built on it, with the constraints on them; those are not counted.
std::size_t remove_point(System& system, Index index);
std::size_t remove_line(System& system, Index index);
std::size_t remove_circle(System& system, Index index);
std::size_t remove_arc(System& system, Index index);
Constraint remove_constraint(System& system, Index index);
void clear_constraints(System& system);

}  // namespace ovralis
