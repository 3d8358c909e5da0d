// Values node by node in evaluation order; derivatives by one backward sweep
// over the same nodes (reverse accumulation), so a gradient costs a small
// constant times a value, however many parameters the expression reads.

#include "expression/expression_evaluation.hpp"

#include <algorithm>
#include <cmath>

#include "expression/measures.hpp"
#include "residual/plane_geometry.hpp"

namespace ovralis {
namespace {

constexpr double kRadiansPerDegree = kPi / 180.0;
constexpr double kDegreesPerRadian = 180.0 / kPi;

// Scratch space for node values, kept per thread so that evaluating the many
// short expressions of a sketch allocates nothing once it has grown.
class NodeValues {
public:
    NodeValues(std::vector<double>& storage, std::size_t count) : data_(storage) {
        if (storage.size() < count) storage.resize(count);
    }
    double& operator[](std::size_t n) { return data_[n]; }

private:
    std::vector<double>& data_;
};

thread_local std::vector<double> t_values;
thread_local std::vector<double> t_adjoints;

double node_value(const ExpressionNode& node, NodeValues& values, const System& system) {
    const auto operand = [&](int k) { return values[node.operand[k]]; };
    switch (node.op) {
        case Operation::Number: return node.number;
        case Operation::Variable: return system.design_variables[node.operand[0]].value;
        case Operation::Add: return operand(0) + operand(1);
        case Operation::Subtract: return operand(0) - operand(1);
        case Operation::Multiply: return operand(0) * operand(1);
        case Operation::Divide: return operand(0) / operand(1);
        case Operation::Power: return std::pow(operand(0), operand(1));
        case Operation::Negate: return -operand(0);
        case Operation::Sqrt: return std::sqrt(operand(0));
        case Operation::Abs: return std::fabs(operand(0));
        case Operation::Sin: return std::sin(operand(0) * kRadiansPerDegree);
        case Operation::Cos: return std::cos(operand(0) * kRadiansPerDegree);
        case Operation::Tan: return std::tan(operand(0) * kRadiansPerDegree);
        case Operation::Asin: return std::asin(operand(0)) * kDegreesPerRadian;
        case Operation::Acos: return std::acos(operand(0)) * kDegreesPerRadian;
        case Operation::Min: return operand(0) <= operand(1) ? operand(0) : operand(1);
        case Operation::Max: return operand(0) >= operand(1) ? operand(0) : operand(1);
        case Operation::Atan2: return std::atan2(operand(0), operand(1)) * kDegreesPerRadian;
        default: return measure_value(system, node);
    }
}

// The node's partial derivatives with respect to its two operands.
std::array<double, 2> local_partials(const ExpressionNode& node, NodeValues& values, double value) {
    const double a = values[node.operand[0]];
    const double b = values[node.operand[1]];
    switch (node.op) {
        case Operation::Add: return {1.0, 1.0};
        case Operation::Subtract: return {1.0, -1.0};
        case Operation::Multiply: return {b, a};
        case Operation::Divide: return {1.0 / b, -a / (b * b)};
        case Operation::Power:
            // d/db a^b = a^b ln a, which only a positive base has; a
            // constant exponent makes that partial unused.
            return {b == 0.0 ? 0.0 : b * std::pow(a, b - 1.0), a > 0.0 ? value * std::log(a) : 0.0};
        case Operation::Negate: return {-1.0, 0.0};
        case Operation::Sqrt: return {0.5 / value, 0.0};
        case Operation::Abs: return {a < 0.0 ? -1.0 : 1.0, 0.0};
        case Operation::Sin: return {std::cos(a * kRadiansPerDegree) * kRadiansPerDegree, 0.0};
        case Operation::Cos: return {-std::sin(a * kRadiansPerDegree) * kRadiansPerDegree, 0.0};
        case Operation::Tan: {
            const double c = std::cos(a * kRadiansPerDegree);
            return {kRadiansPerDegree / (c * c), 0.0};
        }
        case Operation::Asin: return {kDegreesPerRadian / std::sqrt(1.0 - a * a), 0.0};
        case Operation::Acos: return {-kDegreesPerRadian / std::sqrt(1.0 - a * a), 0.0};
        case Operation::Min: return a <= b ? std::array{1.0, 0.0} : std::array{0.0, 1.0};
        case Operation::Max: return a >= b ? std::array{1.0, 0.0} : std::array{0.0, 1.0};
        case Operation::Atan2: {
            const double scale = kDegreesPerRadian / (a * a + b * b);
            return {b * scale, -a * scale};
        }
        default: return {0.0, 0.0};
    }
}

std::uint8_t operand_count(Operation op) {
    switch (op) {
        case Operation::Number:
        case Operation::Variable: return 0;
        case Operation::Add:
        case Operation::Subtract:
        case Operation::Multiply:
        case Operation::Divide:
        case Operation::Power:
        case Operation::Min:
        case Operation::Max:
        case Operation::Atan2: return 2;
        default: return is_measure(op) ? 0 : 1;
    }
}

}  // namespace

double evaluate(const Expression& expression, const System& system) {
    const std::size_t count = expression.nodes.size();
    // A lone number or variable, the commonest binding, needs no scratch space.
    if (count == 1 && expression.nodes[0].op == Operation::Variable) {
        return system.design_variables[expression.nodes[0].operand[0]].value;
    }
    NodeValues values(t_values, count);
    for (std::size_t n = 0; n < count; ++n) {
        values[n] = node_value(expression.nodes[n], values, system);
    }
    return values[count - 1];
}

double differentiate(const Expression& expression, const System& system, double weight,
                     std::vector<ExpressionPartial>& out) {
    const std::vector<ExpressionNode>& nodes = expression.nodes;
    const std::size_t count = nodes.size();
    NodeValues values(t_values, count);
    NodeValues adjoints(t_adjoints, count);
    for (std::size_t n = 0; n < count; ++n) {
        values[n] = node_value(nodes[n], values, system);
        adjoints[n] = 0.0;
    }
    adjoints[count - 1] = weight;
    for (std::size_t n = count; n-- > 0;) {
        const ExpressionNode& node = nodes[n];
        const double adjoint = adjoints[n];
        if (adjoint == 0.0) continue;
        if (node.op == Operation::Variable) {
            out.push_back({{ParamKind::DesignVariable, node.operand[0]}, adjoint});
        } else if (is_measure(node.op)) {
            const MeasureGradient gradient = measure_gradient(system, node);
            for (std::size_t k = 0; k < gradient.count; ++k) {
                out.push_back({gradient.parameters[k], adjoint * gradient.partials[k]});
            }
        } else {
            const std::array<double, 2> partial = local_partials(node, values, values[n]);
            for (std::uint8_t k = 0; k < operand_count(node.op); ++k) {
                adjoints[node.operand[k]] += adjoint * partial[k];
            }
        }
    }
    return values[count - 1];
}

bool expression_references_exist(const Expression& expression, const System& system) {
    return std::all_of(expression.nodes.begin(), expression.nodes.end(),
                       [&](const ExpressionNode& node) {
                           if (node.op == Operation::Variable) {
                               return node.operand[0] < system.design_variables.size();
                           }
                           return !is_measure(node.op) || measure_references_exist(system, node);
                       });
}

}  // namespace ovralis
