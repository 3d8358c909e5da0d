// Constraint fields bound to expressions, and the equation rows: their values
// and their derivatives through the expressions.
#pragma once

#include <vector>

#include "expression/expression_evaluation.hpp"
#include "residual/residual.hpp"
#include "system/system.hpp"

namespace ovralis {

// Whether the store holds any binding, equation or free variable: what the
// residual, the Jacobian and the counts look at beyond the constraints.
bool has_design_intent(const System& system);

// Gives every bound field its expression's value (a length divided by
// system.length_unit, so it is in the store's units). A binding whose
// constraint, variables or measured entities are missing keeps its last value.
void refresh_bound_fields(System& system);

// The same for a store whose references have been validated, as in a solve:
// what every move of the variables does.
void apply_bound_fields(System& system);

// Whether the expression reads an unknown: a free design variable or a
// measure of the geometry. One that does not has no derivatives in a solve.
bool reads_unknowns(const System& system, const Expression& expression);

// One derivative of a constraint's residual entry through its bound field.
struct BoundPartial {
    unsigned entry = 0;
    Parameter parameter;
    double value = 0.0;
};

// d(entry)/d(field) times d(field)/d(parameter) for every entry of the
// binding's constraint and every parameter its expression reads. References
// must exist.
void bound_field_partials(const System& system, const Binding& binding,
                          std::vector<BoundPartial>& out);

// The same chain with the entries' derivatives with respect to the field
// given, for an equation of the constraint other than its residual (the
// constraint analysis ranks some kinds in an equivalent form).
void bound_field_partials(const System& system, const Binding& binding,
                          const ConstraintEntries& through_field, std::vector<BoundPartial>& out);

// left - right, in the caller's units.
double equation_residual(const System& system, const Equation& equation);

// How far an equation is from holding, in a unit that suits any quantity:
// |left - right| relative to the larger side, absolute below 1. NaN when
// either side cannot be evaluated.
double equation_error(const System& system, const Equation& equation);

// The derivatives of left - right, appended to `out`.
void equation_partials(const System& system, const Equation& equation,
                       std::vector<ExpressionPartial>& out);

// The first binding of constraint `index` in the sorted binding list, or its end.
std::vector<Binding>::const_iterator first_binding_of(const System& system, Index index);

}  // namespace ovralis
