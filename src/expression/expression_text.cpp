#include "expression/expression_text.hpp"

#include <charconv>

namespace ovralis {
namespace {

// Binding strength of each node's own syntax: sums, products, negation,
// powers, then everything written as a name or a number.
int precedence(Operation op) {
    switch (op) {
        case Operation::Add:
        case Operation::Subtract: return 1;
        case Operation::Multiply:
        case Operation::Divide: return 2;
        case Operation::Negate: return 3;
        case Operation::Power: return 4;
        default: return 5;
    }
}

class Writer {
public:
    Writer(const Expression& expression, const std::vector<std::string_view>& names)
        : nodes_(expression.nodes), names_(names) {}

    // Writes node n, in parentheses when it binds looser than `context`.
    void write(std::uint32_t n, int context) {
        const ExpressionNode& node = nodes_[n];
        const bool parenthesised = precedence(node.op) < context;
        if (parenthesised) out_ += '(';
        write_bare(node);
        if (parenthesised) out_ += ')';
    }

    std::string text() && { return std::move(out_); }

private:
    void write_bare(const ExpressionNode& node) {
        switch (node.op) {
            case Operation::Number: write_number(node.number); return;
            case Operation::Variable: out_ += names_[node.operand[0]]; return;
            case Operation::Add: infix(node, " + ", 1, 2); return;
            case Operation::Subtract: infix(node, " - ", 1, 2); return;
            case Operation::Multiply: infix(node, "*", 2, 3); return;
            case Operation::Divide: infix(node, "/", 2, 3); return;
            case Operation::Power: infix(node, "^", 5, 3); return;
            case Operation::Negate:
                out_ += '-';
                write(node.operand[0], 3);
                return;
            default: call(node); return;
        }
    }

    void infix(const ExpressionNode& node, const char* symbol, int left, int right) {
        write(node.operand[0], left);
        out_ += symbol;
        write(node.operand[1], right);
    }

    void call(const ExpressionNode& node) {
        const NamedOperation& named = *operation_name(node.op);
        out_ += named.name;
        out_ += '(';
        for (std::uint8_t a = 0; a < named.arguments; ++a) {
            if (a > 0) out_ += ", ";
            if (named.measure) {
                out_ += std::to_string(node.entity[a]);
            } else {
                write(node.operand[a], 0);
            }
        }
        out_ += ')';
    }

    void write_number(double value) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        out_.append(buffer, result.ptr);
    }

    const std::vector<ExpressionNode>& nodes_;
    const std::vector<std::string_view>& names_;
    std::string out_;
};

}  // namespace

std::string expression_text(const Expression& expression,
                            const std::vector<std::string_view>& variable_names) {
    Writer writer(expression, variable_names);
    writer.write(static_cast<std::uint32_t>(expression.nodes.size() - 1), 0);
    return std::move(writer).text();
}

}  // namespace ovralis
