// The document's optional members of design intent, written after the ten
// members of every document and only when a sketch has variables, bindings
// or equations:
//   "variables": [{"name": "w", "value": 30.0, "fixed": true}, ...]
//   "bindings":  [{"constraint": 0, "field": "d", "expression": "2*w"}, ...]
//   "equations": ["w = 2*h + 3", ...]
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "system/system.hpp"

namespace ovralis {

// The members' names and their items' member names: the reader and the
// writer spell them from here, and so does the document fuzzer's dictionary.
namespace design_keys {
inline constexpr const char* kVariables = "variables";
inline constexpr const char* kBindings = "bindings";
inline constexpr const char* kEquations = "equations";
inline constexpr const char* kName = "name";
inline constexpr const char* kValue = "value";
inline constexpr const char* kFixed = "fixed";
inline constexpr const char* kConstraint = "constraint";
inline constexpr const char* kField = "field";
inline constexpr const char* kExpression = "expression";
inline constexpr std::array<const char*, 9> kAll{kVariables, kBindings, kEquations,
                                                  kName,      kValue,    kFixed,
                                                  kConstraint, kField,  kExpression};
}  // namespace design_keys

bool has_design_records(const System& system);

// The members as text, each preceded by a comma, ready to close the
// top-level object with; empty for a sketch without design intent.
std::string design_intent_members(const System& system);

// Reads the members, when the document has them, into a store read from the
// rest of it. Bound fields keep the document's values bit for bit. Raises
// DocumentError naming the member and item at fault; the store is then to be
// discarded.
void read_design_intent(std::string_view text, System& system);

}  // namespace ovralis
