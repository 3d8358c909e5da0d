// The tree of one expression of the design-intent language, stored flat.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "system/entities.hpp"

namespace ovralis {

enum class Operation : std::uint8_t {
    Number,
    Variable,
    Add,
    Subtract,
    Multiply,
    Divide,
    Power,
    Negate,
    // Functions of one argument; trigonometry in degrees.
    Sqrt,
    Abs,
    Sin,
    Cos,
    Tan,
    Asin,
    Acos,
    // Functions of two arguments.
    Min,
    Max,
    Atan2,
    // Measures of the geometry: their arguments are entity indices.
    Distance,
    Length,
    Radius,
    ArcRadius,
    Angle,
    PointX,
    PointY,
};

// One node. Operands are positions of earlier nodes; a variable names its
// position in the store's variable list; a measure holds entity indices.
struct ExpressionNode {
    Operation op = Operation::Number;
    double number = 0.0;
    std::array<std::uint32_t, 2> operand{};
    std::array<Index, 2> entity{};
};

// Nodes in evaluation order: every operand comes before the node that uses
// it, and the last node is the root. A parsed expression is never empty.
struct Expression {
    std::vector<ExpressionNode> nodes;
};

// What a name in the text denotes: an operation with its argument count
// (constants take none), and how its arguments read.
struct NamedOperation {
    std::string_view name;
    Operation op;
    std::uint8_t arguments;
    bool measure;  // arguments are entity indices, not expressions
};

// Every reserved name of the language: the functions, the measures and pi
// (a Number of no arguments).
const std::vector<NamedOperation>& named_operations();

// The named operation of `op`, or nullptr for the arithmetic ones.
const NamedOperation* operation_name(Operation op);

// The entity list a measure's arguments index into.
EntityKind measured_entity(Operation op);

bool is_measure(Operation op);

}  // namespace ovralis
