#pragma once

#include <cstddef>

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

// Removals return the number of constraints that named the entity directly.
// An index past the end raises InvalidReference and changes nothing.
std::size_t remove_point(System& system, Index index);
std::size_t remove_line(System& system, Index index);
std::size_t remove_circle(System& system, Index index);
std::size_t remove_arc(System& system, Index index);
Constraint remove_constraint(System& system, Index index);
void clear_constraints(System& system);

}  // namespace ovralis
