// A recursive-descent parser over a one-token lookahead. Nodes are appended
// as their operands complete, so the node list comes out in evaluation order.

#include "expression/expression_parser.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

#include "system/errors.hpp"

namespace ovralis {
namespace {

bool is_name_start(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool is_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

enum class TokenKind { Number, Name, Symbol, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text;
    std::size_t position = 0;
};

// 'text', built by appending (GCC 12 misjudges a literal + string chain).
std::string quoted(std::string_view text) {
    std::string out(1, '\'');
    out.append(text);
    out.push_back('\'');
    return out;
}

const NamedOperation* find_named(std::string_view name) {
    for (const NamedOperation& named : named_operations()) {
        if (named.name == name) return &named;
    }
    return nullptr;
}

class Parser {
public:
    Parser(std::string_view text, const VariableLookup& lookup) : text_(text), lookup_(lookup) {
        advance();
    }

    Expression sum_to(std::string_view ending) {
        Expression expression;
        out_ = &expression;
        sum();
        if (!at_symbol(ending)) {
            fail(ending == "=" ? std::string("expected '='")
                               : std::string("unexpected ").append(describe(token_)));
        }
        return expression;
    }

    void skip_equals() { advance(); }

private:
    // ---- the lexer ----------------------------------------------------------

    void advance() {
        while (cursor_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[cursor_]))) {
            ++cursor_;
        }
        const std::size_t start = cursor_;
        if (cursor_ == text_.size()) {
            token_ = {TokenKind::End, {}, start};
            return;
        }
        const char c = text_[cursor_];
        if (is_digit(c) || (c == '.' && cursor_ + 1 < text_.size() && is_digit(text_[cursor_ + 1]))) {
            scan_number();
            token_ = {TokenKind::Number, text_.substr(start, cursor_ - start), start};
        } else if (is_name_start(c)) {
            while (cursor_ < text_.size() && is_name_char(text_[cursor_])) ++cursor_;
            token_ = {TokenKind::Name, text_.substr(start, cursor_ - start), start};
        } else if (std::string_view("+-*/^(),=").find(c) != std::string_view::npos) {
            ++cursor_;
            token_ = {TokenKind::Symbol, text_.substr(start, 1), start};
        } else {
            fail_at(start, std::string("unexpected character ").append(quoted(character_at(start))));
        }
    }

    // The whole UTF-8 sequence that starts at `position`, so that a message
    // quoting it stays valid text.
    std::string_view character_at(std::size_t position) const {
        const auto lead = static_cast<unsigned char>(text_[position]);
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
        return text_.substr(position, length);
    }

    // UTF-8 continuation bytes (10xxxxxx) do not start a character.
    std::size_t characters_before(std::size_t position) const {
        std::size_t count = 0;
        for (std::size_t i = 0; i < position && i < text_.size(); ++i) {
            if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) ++count;
        }
        return count;
    }

    void skip_digits() {
        while (cursor_ < text_.size() && is_digit(text_[cursor_])) ++cursor_;
    }

    void scan_number() {
        skip_digits();
        if (cursor_ < text_.size() && text_[cursor_] == '.') {
            ++cursor_;
            skip_digits();
        }
        if (cursor_ < text_.size() && (text_[cursor_] == 'e' || text_[cursor_] == 'E')) {
            std::size_t next = cursor_ + 1;
            if (next < text_.size() && (text_[next] == '+' || text_[next] == '-')) ++next;
            if (next >= text_.size() || !is_digit(text_[next])) {
                fail_at(cursor_, "malformed exponent in number");
            }
            cursor_ = next;
            skip_digits();
        }
    }

    bool at_symbol(std::string_view symbol) const {
        if (symbol.empty()) return token_.kind == TokenKind::End;
        return token_.kind == TokenKind::Symbol && token_.text == symbol;
    }

    void expect(std::string_view symbol) {
        if (!at_symbol(symbol)) fail(std::string("expected ").append(quoted(symbol)));
        advance();
    }

    static std::string describe(const Token& token) {
        if (token.kind == TokenKind::End) return "end of text";
        return quoted(token.text);
    }

    // ---- errors -------------------------------------------------------------

    // An "expected ..." message says what was found instead.
    [[noreturn]] void fail(const std::string& what) const {
        if (what.rfind("expected", 0) == 0) {
            fail_at(token_.position, std::string(what).append(", found ").append(describe(token_)));
        }
        fail_at(token_.position, what);
    }

    // Positions count characters, not bytes, so the caret stands under the
    // character in any text.
    [[noreturn]] void fail_at(std::size_t position, const std::string& what) const {
        const std::size_t column = characters_before(position);
        std::string message(what);
        message.append(" at position ").append(std::to_string(column + 1)).append("\n  ");
        message.append(text_).append("\n  ").append(column, ' ').push_back('^');
        throw InvalidArgument(message);
    }

    // ---- the grammar --------------------------------------------------------

    std::uint32_t emit(ExpressionNode node) {
        out_->nodes.push_back(node);
        return static_cast<std::uint32_t>(out_->nodes.size() - 1);
    }

    std::uint32_t binary(Operation op, std::uint32_t left, std::uint32_t right) {
        ExpressionNode node;
        node.op = op;
        node.operand = {left, right};
        return emit(node);
    }

    std::uint32_t sum() {
        std::uint32_t left = product();
        while (at_symbol("+") || at_symbol("-")) {
            const Operation op = at_symbol("+") ? Operation::Add : Operation::Subtract;
            advance();
            left = binary(op, left, product());
        }
        return left;
    }

    std::uint32_t product() {
        std::uint32_t left = unary();
        while (at_symbol("*") || at_symbol("/")) {
            const Operation op = at_symbol("*") ? Operation::Multiply : Operation::Divide;
            advance();
            left = binary(op, left, unary());
        }
        return left;
    }

    std::uint32_t unary() {
        if (!at_symbol("-")) return power();
        advance();
        ExpressionNode node;
        node.op = Operation::Negate;
        node.operand[0] = unary();
        return emit(node);
    }

    std::uint32_t power() {
        const std::uint32_t base = primary();
        if (!at_symbol("^")) return base;
        advance();
        return binary(Operation::Power, base, unary());
    }

    std::uint32_t primary() {
        switch (token_.kind) {
            case TokenKind::Number: return number();
            case TokenKind::Name: return name();
            case TokenKind::Symbol:
                if (at_symbol("(")) {
                    advance();
                    const std::uint32_t inner = sum();
                    expect(")");
                    return inner;
                }
                break;
            case TokenKind::End: break;
        }
        fail("expected a number, a name or '('");
    }

    std::uint32_t number() {
        ExpressionNode node;
        const char* first = token_.text.data();
        const char* last = first + token_.text.size();
        const auto [end, error] = std::from_chars(first, last, node.number);
        if (error != std::errc() || end != last || !std::isfinite(node.number)) {
            fail("number out of range");
        }
        advance();
        return emit(node);
    }

    std::uint32_t name() {
        const Token name = token_;
        advance();
        const NamedOperation* named = find_named(name.text);
        if (named == nullptr) {
            const std::optional<std::uint32_t> variable = lookup_(name.text);
            if (!variable) {
                fail_at(name.position, std::string("unknown variable ").append(quoted(name.text)));
            }
            ExpressionNode node;
            node.op = Operation::Variable;
            node.operand[0] = *variable;
            return emit(node);
        }
        if (named->arguments == 0) {
            ExpressionNode node;
            node.number = 3.141592653589793;
            return emit(node);
        }
        if (!at_symbol("(")) {
            fail(std::string("expected '(' after ").append(name.text));
        }
        advance();
        return named->measure ? measure(*named) : function(*named);
    }

    std::uint32_t function(const NamedOperation& named) {
        ExpressionNode node;
        node.op = named.op;
        for (std::uint8_t a = 0; a < named.arguments; ++a) {
            if (a > 0) expect_argument_separator(named);
            node.operand[a] = sum();
        }
        expect_closing(named);
        return emit(node);
    }

    std::uint32_t measure(const NamedOperation& named) {
        ExpressionNode node;
        node.op = named.op;
        for (std::uint8_t a = 0; a < named.arguments; ++a) {
            if (a > 0) expect_argument_separator(named);
            node.entity[a] = entity_index(named);
        }
        expect_closing(named);
        return emit(node);
    }

    Index entity_index(const NamedOperation& named) {
        Index index = 0;
        const char* first = token_.text.data();
        const char* last = first + token_.text.size();
        const bool whole = token_.kind == TokenKind::Number &&
                           std::from_chars(first, last, index).ptr == last;
        if (!whole) fail(std::string(named.name) + " takes entity indices (whole numbers)");
        advance();
        return index;
    }

    void expect_argument_separator(const NamedOperation& named) {
        if (!at_symbol(",")) fail(arity_text(named));
        advance();
    }

    void expect_closing(const NamedOperation& named) {
        if (!at_symbol(")")) fail(at_symbol(",") ? arity_text(named) : "expected ')'");
        advance();
    }

    static std::string arity_text(const NamedOperation& named) {
        return std::string(named.name) + " takes " + std::to_string(named.arguments) +
               (named.arguments == 1 ? " argument" : " arguments");
    }

    std::string_view text_;
    const VariableLookup& lookup_;
    std::size_t cursor_ = 0;
    Token token_;
    Expression* out_ = nullptr;
};

}  // namespace

Expression parse_expression(std::string_view text, const VariableLookup& lookup) {
    return Parser(text, lookup).sum_to("");
}

std::pair<Expression, Expression> parse_equation(std::string_view text,
                                                 const VariableLookup& lookup) {
    Parser parser(text, lookup);
    Expression left = parser.sum_to("=");
    parser.skip_equals();
    Expression right = parser.sum_to("");
    return {std::move(left), std::move(right)};
}

bool is_reserved_name(std::string_view name) { return find_named(name) != nullptr; }

bool is_identifier(std::string_view name) {
    if (name.empty() || !is_name_start(name.front())) return false;
    for (const char c : name) {
        if (!is_name_char(c)) return false;
    }
    return !is_reserved_name(name);
}

}  // namespace ovralis
