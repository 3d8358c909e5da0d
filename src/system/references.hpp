#pragma once

#include <cstddef>
#include <string>

#include "system/system.hpp"

namespace ovralis {

// Checks every index held by an entity or a constraint against its list and
// raises InvalidReference naming the first one that names no entity
// ("Point index 7 out of range"). Entities are checked before constraints.
// Every operation that reads through indices calls this once before it starts.
void validate_references(const System& system);

// The length of the store's list of `kind` entities.
std::size_t entity_count(const System& system, EntityKind kind);

// The index error text shared by the getters and the validation.
std::string out_of_range_message(EntityKind kind, Index index);

}  // namespace ovralis
