// Reading the text of an expression or an equation into its tree.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "expression/expression.hpp"

namespace ovralis {

// The position in the store's variable list of a variable name, or nullopt.
using VariableLookup = std::function<std::optional<std::uint32_t>(std::string_view)>;

// Grammar, loosest first:
//   sum     := product (("+" | "-") product)*
//   product := unary (("*" | "/") unary)*
//   unary   := "-" unary | power
//   power   := primary ("^" unary)?          (right-associative: 2^3^2 = 2^9)
//   primary := number | name | name "(" arguments ")" | "(" sum ")"
// Numbers are decimal with an optional exponent; a measure's arguments are
// whole numbers (entity indices). Raises InvalidArgument naming the position
// (counted from 1) with the text and a caret under it.
Expression parse_expression(std::string_view text, const VariableLookup& lookup);

// "left = right": the two sides, each an expression.
std::pair<Expression, Expression> parse_equation(std::string_view text,
                                                 const VariableLookup& lookup);

// True for a name a variable may take: an identifier (a letter or "_", then
// letters, digits or "_") that the language does not reserve.
bool is_identifier(std::string_view name);
bool is_reserved_name(std::string_view name);

}  // namespace ovralis
