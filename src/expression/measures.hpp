// The geometric measures of the expression language, with their gradients.
#pragma once

#include <array>
#include <cstddef>

#include "expression/expression.hpp"
#include "system/system.hpp"

namespace ovralis {

// A measure's value in the caller's units (lengths times system.length_unit,
// angles in degrees) and its partial derivatives with respect to the entity
// parameters it reads.
struct MeasureGradient {
    double value = 0.0;
    std::array<Parameter, 8> parameters{};
    std::array<double, 8> partials{};
    std::size_t count = 0;
};

// The value alone. The node's entity indices must name existing entities.
double measure_value(const System& system, const ExpressionNode& node);

// The value and its gradient. A distance or a length of zero has no
// direction: its gradient is left zero. angle(l1, l2) is the signed angle
// from l1's direction to l2's, in (-180, 180]; between lines without length
// it is 0 with a zero gradient.
MeasureGradient measure_gradient(const System& system, const ExpressionNode& node);

// Whether every entity index of the node names an existing entity.
bool measure_references_exist(const System& system, const ExpressionNode& node);

}  // namespace ovralis
