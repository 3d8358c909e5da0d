// Writing an expression back as text, for an expression whose entity indices
// were renumbered after a removal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "expression/expression.hpp"

namespace ovralis {

// The expression in the language's own syntax, with only the parentheses the
// grammar needs and numbers in their shortest round-trip spelling; reading
// it back gives the same tree. `variable_names` maps variable positions to names.
std::string expression_text(const Expression& expression,
                            const std::vector<std::string_view>& variable_names);

}  // namespace ovralis
