#include "expression/bound_fields.hpp"

#include <algorithm>
#include <cmath>

#include "residual/kind_operations.hpp"
#include "system/errors.hpp"

namespace ovralis {
namespace {

void apply(System& system, const Binding& binding) {
    const double value = evaluate(binding.expression, system);
    system.constraints[binding.constraint].value[binding.slot] =
        binding.is_length ? value / system.length_unit : value;
}

}  // namespace

bool has_design_intent(const System& system) {
    return !system.bindings.empty() || !system.equations.empty() ||
           std::any_of(system.design_variables.begin(), system.design_variables.end(),
                       [](const DesignVariable& v) { return !v.fixed; });
}

void refresh_bound_fields(System& system) {
    for (const Binding& binding : system.bindings) {
        if (binding.constraint >= system.constraints.size() ||
            !expression_references_exist(binding.expression, system)) {
            continue;
        }
        apply(system, binding);
    }
}

void apply_bound_fields(System& system) {
    for (const Binding& binding : system.bindings) {
        if (binding.constraint < system.constraints.size()) apply(system, binding);
    }
}

bool reads_unknowns(const System& system, const Expression& expression) {
    return std::any_of(expression.nodes.begin(), expression.nodes.end(),
                       [&](const ExpressionNode& n) {
                           return is_measure(n.op) ||
                                  (n.op == Operation::Variable &&
                                   !system.design_variables[n.operand[0]].fixed);
                       });
}

void bound_field_partials(const System& system, const Binding& binding,
                          std::vector<BoundPartial>& out) {
    const Constraint& c = system.constraints[binding.constraint];
    const auto field_derivative = kind_operations(c.kind).field_derivative;
    if (field_derivative == nullptr) throw InternalError("a bound field without a derivative");
    bound_field_partials(system, binding, field_derivative(system, c, binding.slot), out);
}

void bound_field_partials(const System& system, const Binding& binding,
                          const ConstraintEntries& through_field, std::vector<BoundPartial>& out) {
    const double unit = binding.is_length ? 1.0 / system.length_unit : 1.0;
    thread_local std::vector<ExpressionPartial> partials;
    partials.clear();
    differentiate(binding.expression, system, unit, partials);
    for (unsigned e = 0; e < through_field.count; ++e) {
        if (through_field.value[e] == 0.0) continue;
        for (const ExpressionPartial& p : partials) {
            out.push_back({e, p.parameter, through_field.value[e] * p.value});
        }
    }
}

double equation_residual(const System& system, const Equation& equation) {
    return evaluate(equation.left, system) - evaluate(equation.right, system);
}

double equation_error(const System& system, const Equation& equation) {
    const double left = evaluate(equation.left, system);
    const double right = evaluate(equation.right, system);
    return std::abs(left - right) / std::max({1.0, std::abs(left), std::abs(right)});
}

void equation_partials(const System& system, const Equation& equation,
                       std::vector<ExpressionPartial>& out) {
    differentiate(equation.left, system, 1.0, out);
    differentiate(equation.right, system, -1.0, out);
}

std::vector<Binding>::const_iterator first_binding_of(const System& system, Index index) {
    return std::lower_bound(system.bindings.begin(), system.bindings.end(), index,
                            [](const Binding& b, Index i) { return b.constraint < i; });
}

}  // namespace ovralis
