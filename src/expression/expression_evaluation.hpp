// The value of an expression at the store's current values, and its exact
// derivatives with respect to the parameters it reads.
#pragma once

#include <vector>

#include "expression/expression.hpp"
#include "system/system.hpp"

namespace ovralis {

// One partial derivative of an expression: a design variable's
// (ParamKind::DesignVariable, its position in the variable list) or an
// entity parameter's read through a measure.
struct ExpressionPartial {
    Parameter parameter;
    double value = 0.0;
};

// The value, lengths in the caller's units, angles in degrees. A division by
// zero, a root of a negative number or an out-of-domain asin gives an
// infinity or NaN, never an exception. Variable positions and entity indices
// must be valid (expression_references_exist).
double evaluate(const Expression& expression, const System& system);

// Appends weight times each partial derivative of the expression to `out`,
// by reverse accumulation over the node list, and returns the value. A
// parameter read twice appears twice. Where a function has no derivative
// (abs at 0, min and max at a tie) the one-sided one of the first operand is
// taken.
double differentiate(const Expression& expression, const System& system, double weight,
                     std::vector<ExpressionPartial>& out);

// Whether every variable position and every measured entity exists.
bool expression_references_exist(const Expression& expression, const System& system);

}  // namespace ovralis
