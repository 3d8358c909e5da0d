#pragma once

// The list the constraint analysis ranks: the constraints in their order,
// then the design-intent equations. Item k < constraints.size() is constraint
// k; item constraints.size() + e is equation e. A sketch without equations
// has exactly its constraints as items.

#include <cstddef>
#include <vector>

#include "system/system.hpp"
#include "validation/conflict_judge.hpp"

namespace ovralis {

std::size_t item_count(const System& system);

bool is_equation_item(const System& system, std::size_t item);

// Whether the item holds at the judge's sketch, as a converged solve judges it.
bool item_holds(ConflictJudge& judge, const System& system, std::size_t item);

// A copy of `system` with only the items below `count` that are not `dropped`
// (ascending positions). The bindings of the constraints left out go with
// them, and the others follow their constraints' new positions.
System with_items(const System& system, std::size_t count, const std::vector<std::size_t>& dropped);

// Puts every item of `full` back into `reduced` (a with_items copy, solved),
// its entities and variables kept: bound fields take their expressions'
// values there.
void restore_items(System& reduced, const System& full);

}  // namespace ovralis
