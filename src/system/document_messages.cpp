// The document reader's message texts: what was found against what the place
// expects ("invalid type: ..., expected ..."), and the field and length errors.
#include "system/document_messages.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include <rapidjson/error/en.h>

#include "system/number_text.hpp"
#include "system/overloaded.hpp"

namespace ovralis::reading {
namespace {

std::string expectation(const Expected& expected) {
    switch (expected.shape) {
        case Shape::Index: return "u64";
        case Shape::Real: return "f64";
        case Shape::Flag: return "a boolean";
        case Shape::Record: return expected.record->description;
        case Shape::EntityList:
        case Shape::ConstraintList: return "a sequence";
        case Shape::Constraint: return "enum Constraint";
        case Shape::Ignored: break;
    }
    return "any value";
}

}  // namespace

std::string struct_description(std::string_view name, std::size_t fields) {
    return std::string(name) + " with " + std::to_string(fields) + " elements";
}

namespace {

// The length of the UTF-8 sequence that starts at text[i], or 0 when the
// bytes there are not one (a stray continuation byte, a truncated or overlong
// sequence, a surrogate, a code point beyond U+10FFFF).
std::size_t utf8_sequence_at(std::string_view text, std::size_t i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x80) return 1;
    // Lead byte -> sequence length and the smallest code point it may encode.
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 0;
    std::uint32_t code = byte & (0x7F >> length);
    bool valid = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        valid = (next & 0xC0) == 0x80;
        code = (code << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= kSmallest[length] && code <= 0x10FFFF &&
            !(code >= 0xD800 && code <= 0xDFFF);
    return valid ? length : 0;
}

}  // namespace

// A lone \udc00 escape decodes to bytes that are not UTF-8, so the check is
// needed even for text the parser has validated.
std::string printable(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
            ++i;
            continue;
        }
        const std::size_t length = utf8_sequence_at(text, i);
        if (length != 0) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

bool is_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8_sequence_at(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string type_message(const std::string& found, const Expected& expected) {
    return "invalid type: " + found + ", expected " + expectation(expected);
}

std::string describe(const Scalar& value) {
    return std::visit(
        Overloaded{
            [](std::nullptr_t) -> std::string { return "null"; },
            [](bool flag) -> std::string { return flag ? "boolean `true`" : "boolean `false`"; },
            [](std::uint64_t n) { return "integer `" + std::to_string(n) + "`"; },
            [](std::int64_t n) { return "integer `" + std::to_string(n) + "`"; },
            [](double x) { return "floating point `" + format_json_number(x) + "`"; },
            [](std::string_view s) { return "string \"" + printable(s) + "\""; },
        },
        value);
}

std::string negative_index_message(const Scalar& value) {
    return "invalid value: " + describe(value) + ", expected u64";
}

std::string unknown_variant_message(std::string_view name) {
    std::string message = "unknown variant `" + printable(name) + "`, expected one of ";
    for (std::size_t k = 0; k < kConstraintKindCount; ++k) {
        if (k != 0) message += ", ";
        message += '`';
        message += kind_info(static_cast<ConstraintKind>(k)).name;
        message += '`';
    }
    return message;
}

std::string duplicate_field_message(std::string_view name) {
    return "duplicate field `" + std::string(name) + "`";
}

std::string missing_field_message(std::string_view name) {
    return "missing field `" + std::string(name) + "`";
}

std::string short_array_message(std::size_t count, const Record& record) {
    return "invalid length " + std::to_string(count) + ", expected " + record.description;
}

std::string long_array_message(std::size_t count, const Record& record) {
    return "invalid length: more than " + std::to_string(count) + " elements, expected " +
           record.description;
}

std::string no_kind_message() {
    return "invalid constraint: expected a single member naming the kind, found none";
}

std::string second_kind_message(std::string_view key) {
    return "invalid constraint: expected a single member naming the kind, found a second member `" +
           printable(key) + "`";
}

std::string nesting_message() { return "recursion limit exceeded"; }

std::string number_range_message() { return "number out of range"; }

std::string position_text(std::string_view text, std::size_t offset) {
    if (!text.empty()) offset = std::min(offset, text.size() - 1);
    const std::string_view before = text.substr(0, offset);
    const auto newlines = std::count(before.begin(), before.end(), '\n');
    const std::size_t line = 1 + static_cast<std::size_t>(newlines);
    const std::size_t last_newline = before.rfind('\n');
    const std::size_t line_start = last_newline == std::string_view::npos ? 0 : last_newline + 1;
    // An empty text has no character to point at: column 0.
    const std::size_t column = text.empty() ? 0 : offset - line_start + 1;
    return " at line " + std::to_string(line) + " column " + std::to_string(column);
}

std::string syntax_message(rapidjson::ParseErrorCode code) {
    std::string message = rapidjson::GetParseError_En(code);
    if (!message.empty() && message.back() == '.') message.pop_back();
    if (!message.empty()) message.front() = static_cast<char>(std::tolower(message.front()));
    return message;
}

}  // namespace ovralis::reading
