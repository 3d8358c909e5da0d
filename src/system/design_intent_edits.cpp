#include "system/design_intent_edits.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "expression/bound_fields.hpp"
#include "expression/expression_parser.hpp"
#include "expression/expression_text.hpp"
#include "system/errors.hpp"
#include "system/references.hpp"

namespace ovralis {
namespace {

std::string quoted(std::string_view name) {
    std::string text(1, '\'');
    text.append(name);
    text.push_back('\'');
    return text;
}

std::optional<std::uint32_t> variable_position(const System& system, std::string_view name) {
    for (std::size_t i = 0; i < system.design_variables.size(); ++i) {
        if (system.design_variables[i].name == name) return static_cast<std::uint32_t>(i);
    }
    return std::nullopt;
}

VariableLookup lookup_in(const System& system) {
    return [&system](std::string_view name) { return variable_position(system, name); };
}

std::uint32_t require_variable(const System& system, std::string_view name) {
    const std::optional<std::uint32_t> position = variable_position(system, name);
    if (!position) throw InvalidArgument("unknown variable " + quoted(name));
    return *position;
}

void require_finite(double value) {
    if (!std::isfinite(value)) throw InvalidArgument("a variable's value must be finite");
}

bool uses_variable(const Expression& expression, std::uint32_t position) {
    return std::any_of(expression.nodes.begin(), expression.nodes.end(), [&](const ExpressionNode& n) {
        return n.op == Operation::Variable && n.operand[0] == position;
    });
}

bool measures(const Expression& expression, EntityKind kind, Index index) {
    return std::any_of(expression.nodes.begin(), expression.nodes.end(), [&](const ExpressionNode& n) {
        return is_measure(n.op) && measured_entity(n.op) == kind &&
               (n.entity[0] == index ||
                (operation_name(n.op)->arguments == 2 && n.entity[1] == index));
    });
}

// Lowers the indices above `removed`; true when any changed.
bool lower_entities(Expression& expression, EntityKind kind, Index removed) {
    bool changed = false;
    for (ExpressionNode& n : expression.nodes) {
        if (!is_measure(n.op) || measured_entity(n.op) != kind) continue;
        for (std::uint8_t k = 0; k < operation_name(n.op)->arguments; ++k) {
            if (n.entity[k] > removed) {
                --n.entity[k];
                changed = true;
            }
        }
    }
    return changed;
}

std::vector<std::string_view> variable_names(const System& system) {
    std::vector<std::string_view> names;
    for (const DesignVariable& v : system.design_variables) names.push_back(v.name);
    return names;
}

// Raises InvalidReference for the first measured entity the store lacks.
void require_measured_entities(const System& system, const Expression& expression) {
    for (const ExpressionNode& n : expression.nodes) {
        if (!is_measure(n.op)) continue;
        const EntityKind kind = measured_entity(n.op);
        for (std::uint8_t k = 0; k < operation_name(n.op)->arguments; ++k) {
            if (n.entity[k] >= entity_count(system, kind)) {
                throw InvalidReference(out_of_range_message(kind, n.entity[k]));
            }
        }
    }
}

// The catalogue's real field of that name, as its value slot.
std::uint8_t real_field_slot(const Constraint& c, std::string_view field) {
    const KindInfo& info = kind_info(c.kind);
    std::string names;
    for (std::uint8_t f = 0; f < info.field_count; ++f) {
        const FieldSpec& spec = info.fields[f];
        if (spec.type != FieldType::Real) continue;
        if (spec.name == field) return spec.slot;
        names += (names.empty() ? "" : ", ") + std::string(spec.name);
    }
    throw InvalidArgument(std::string(info.name) + " has no real field " + quoted(field) +
                          (names.empty() ? " (it has none)" : " (its real fields: " + names + ")"));
}

bool is_length_field(const Constraint& c, std::uint8_t slot) {
    const KindInfo& info = kind_info(c.kind);
    for (std::uint8_t f = 0; f < info.field_count; ++f) {
        const FieldSpec& field = info.fields[f];
        if (field.type == FieldType::Real && field.slot == slot) return field.is_length;
    }
    return false;
}

auto binding_position(System& system, Index constraint, std::uint8_t slot) {
    return std::lower_bound(system.bindings.begin(), system.bindings.end(),
                            std::pair{constraint, slot}, [](const Binding& b, const auto& key) {
                                return std::pair{b.constraint, b.slot} < key;
                            });
}

}  // namespace

void add_variable(System& system, std::string_view name, double value, bool fixed) {
    if (!is_identifier(name)) {
        throw InvalidArgument("invalid variable name " + quoted(name) +
                              (is_reserved_name(name) ? ": the name is reserved by the language"
                                                      : ": names are identifiers"));
    }
    if (variable_position(system, name)) {
        throw InvalidArgument("a variable named " + quoted(name) + " already exists");
    }
    require_finite(value);
    system.design_variables.push_back({std::string(name), value, fixed});
}

const DesignVariable& get_variable(const System& system, std::string_view name) {
    return system.design_variables[require_variable(system, name)];
}

void set_variable(System& system, std::string_view name, std::optional<double> value,
                  std::optional<bool> fixed) {
    DesignVariable& variable = system.design_variables[require_variable(system, name)];
    if (value) require_finite(*value);
    variable.value = value.value_or(variable.value);
    variable.fixed = fixed.value_or(variable.fixed);
    refresh_bound_fields(system);
}

void remove_variable(System& system, std::string_view name) {
    const std::uint32_t position = require_variable(system, name);
    for (const Binding& b : system.bindings) {
        if (uses_variable(b.expression, position)) {
            throw InvalidArgument("variable " + quoted(name) + " is used by the binding of field " +
                                  quoted(bound_field_name(system, b)) + " of constraint " +
                                  std::to_string(b.constraint));
        }
    }
    for (std::size_t i = 0; i < system.equations.size(); ++i) {
        const Equation& e = system.equations[i];
        if (uses_variable(e.left, position) || uses_variable(e.right, position)) {
            throw InvalidArgument("variable " + quoted(name) + " is used by equation " +
                                  std::to_string(i) + " (" + e.text + ")");
        }
    }
    system.design_variables.erase(system.design_variables.begin() + position);
    const auto lower = [&](Expression& expression) {
        for (ExpressionNode& n : expression.nodes) {
            if (n.op == Operation::Variable && n.operand[0] > position) --n.operand[0];
        }
    };
    for (Binding& b : system.bindings) lower(b.expression);
    for (Equation& e : system.equations) {
        lower(e.left);
        lower(e.right);
    }
}

void bind(System& system, Index constraint, std::string_view field, std::string_view text) {
    restore_binding(system, constraint, field, text);
    refresh_bound_fields(system);
}

void restore_binding(System& system, Index constraint, std::string_view field,
                     std::string_view text) {
    if (constraint >= system.constraints.size()) {
        throw InvalidReference("Constraint index " + std::to_string(constraint) + " out of range");
    }
    const std::uint8_t slot = real_field_slot(system.constraints[constraint], field);
    Expression expression = parse_expression(text, lookup_in(system));
    require_measured_entities(system, expression);
    const Constraint& c = system.constraints[constraint];
    Binding binding{constraint, slot, is_length_field(c, slot), std::move(expression),
                    std::string(text)};
    const auto at = binding_position(system, constraint, slot);
    if (at != system.bindings.end() && at->constraint == constraint && at->slot == slot) {
        *at = std::move(binding);
    } else {
        system.bindings.insert(at, std::move(binding));
    }
}

void unbind(System& system, Index constraint, std::string_view field) {
    if (constraint >= system.constraints.size()) {
        throw InvalidReference("Constraint index " + std::to_string(constraint) + " out of range");
    }
    const std::uint8_t slot = real_field_slot(system.constraints[constraint], field);
    const auto at = binding_position(system, constraint, slot);
    if (at == system.bindings.end() || at->constraint != constraint || at->slot != slot) {
        throw InvalidArgument("field " + quoted(field) + " of constraint " +
                              std::to_string(constraint) + " is not bound");
    }
    system.bindings.erase(at);
}

std::string_view bound_field_name(const System& system, const Binding& binding) {
    const KindInfo& info = kind_info(system.constraints[binding.constraint].kind);
    for (std::uint8_t f = 0; f < info.field_count; ++f) {
        if (info.fields[f].type == FieldType::Real && info.fields[f].slot == binding.slot) {
            return info.fields[f].name;
        }
    }
    throw InternalError("a binding names no real field");
}

Index add_equation(System& system, std::string_view text) {
    auto [left, right] = parse_equation(text, lookup_in(system));
    require_measured_entities(system, left);
    require_measured_entities(system, right);
    system.equations.push_back({std::move(left), std::move(right), std::string(text)});
    return system.equations.size() - 1;
}

Equation remove_equation(System& system, Index index) {
    if (index >= system.equations.size()) {
        throw InvalidReference("Equation index " + std::to_string(index) + " out of range");
    }
    Equation removed = std::move(system.equations[index]);
    system.equations.erase(system.equations.begin() + static_cast<std::ptrdiff_t>(index));
    return removed;
}

void forget_constraints(System& system, const std::vector<bool>& removed) {
    if (system.bindings.empty()) return;
    std::vector<Index> new_index(removed.size());
    Index next = 0;
    for (std::size_t k = 0; k < removed.size(); ++k) new_index[k] = removed[k] ? 0 : next++;
    std::erase_if(system.bindings, [&](const Binding& b) {
        return b.constraint < removed.size() && removed[b.constraint];
    });
    for (Binding& b : system.bindings) {
        if (b.constraint < removed.size()) b.constraint = new_index[b.constraint];
    }
}

void forget_entity(System& system, EntityKind kind, Index index) {
    if (system.bindings.empty() && system.equations.empty()) return;
    std::erase_if(system.bindings,
                  [&](const Binding& b) { return measures(b.expression, kind, index); });
    std::erase_if(system.equations, [&](const Equation& e) {
        return measures(e.left, kind, index) || measures(e.right, kind, index);
    });
    const std::vector<std::string_view> names = variable_names(system);
    for (Binding& b : system.bindings) {
        if (lower_entities(b.expression, kind, index)) b.text = expression_text(b.expression, names);
    }
    for (Equation& e : system.equations) {
        const bool left = lower_entities(e.left, kind, index);
        const bool right = lower_entities(e.right, kind, index);
        if (left || right) {
            e.text = expression_text(e.left, names) + " = " + expression_text(e.right, names);
        }
    }
}

void validate_design_intent_references(const System& system) {
    for (const Binding& b : system.bindings) {
        if (b.constraint >= system.constraints.size()) {
            throw InvalidReference("Constraint index " + std::to_string(b.constraint) +
                                   " out of range");
        }
        require_measured_entities(system, b.expression);
    }
    for (const Equation& e : system.equations) {
        require_measured_entities(system, e.left);
        require_measured_entities(system, e.right);
    }
}

}  // namespace ovralis
