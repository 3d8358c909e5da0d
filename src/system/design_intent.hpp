// The store's records of design intent: named variables, constraint fields
// bound to expressions, and equations solved with the geometry.
#pragma once

#include <cstdint>
#include <string>

#include "expression/expression.hpp"
#include "system/entities.hpp"

namespace ovralis {

// A fixed variable is a parameter the caller drives; a free one is an
// unknown of the solve, like a coordinate.
struct DesignVariable {
    std::string name;
    double value = 0.0;
    bool fixed = true;
};

// A real field of a constraint that takes its value from an expression.
struct Binding {
    Index constraint = 0;
    std::uint8_t slot = 0;  // position in Constraint::value
    bool is_length = false;  // the field is a length, scaled with the sketch
    Expression expression;
    std::string text;
};

// left = right, solved as the residual row left - right.
struct Equation {
    Expression left;
    Expression right;
    std::string text;
};

}  // namespace ovralis
