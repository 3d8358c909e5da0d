// The store operations on design intent: variables, bindings and equations.
// Every refused call raises InvalidArgument (or InvalidReference for an
// index that names nothing) and leaves the store as it was.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "system/system.hpp"

namespace ovralis {

// Names are identifiers the language does not reserve, unique in the store.
// Values must be finite.
void add_variable(System& system, std::string_view name, double value, bool fixed);
const DesignVariable& get_variable(const System& system, std::string_view name);
void set_variable(System& system, std::string_view name, std::optional<double> value,
                  std::optional<bool> fixed);
// Refused while a binding or an equation uses the variable.
void remove_variable(System& system, std::string_view name);

// Binds a real field of constraint `constraint` (by its catalogue name, e.g.
// "d") to an expression, replacing an earlier binding of that field, and
// gives the field the expression's value now.
void bind(System& system, Index constraint, std::string_view field, std::string_view text);
void unbind(System& system, Index constraint, std::string_view field);

// bind for a store being rebuilt from a saved state: the field keeps the
// value it holds, bit for bit, until the next evaluation.
void restore_binding(System& system, Index constraint, std::string_view field,
                     std::string_view text);

// The field name a binding binds.
std::string_view bound_field_name(const System& system, const Binding& binding);

// Appends "left = right" and returns its index.
Index add_equation(System& system, std::string_view text);
Equation remove_equation(System& system, Index index);

// What a removal of constraints does to the bindings: those of a removed
// constraint go, the others follow their constraint's new index.
// `removed[k]` marks constraint k of the list before the removal.
void forget_constraints(System& system, const std::vector<bool>& removed);

// What a removal of entity `index` of `kind` does to the expressions: a
// binding or an equation that measures it goes, the others' indices above it
// are lowered (and their text written afresh).
void forget_entity(System& system, EntityKind kind, Index index);

// Raises InvalidReference naming the first variable or entity that an
// expression reads and the store lacks, or a binding's missing constraint.
void validate_design_intent_references(const System& system);

}  // namespace ovralis
