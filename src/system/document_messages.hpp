// The texts of the document reader's error messages, and the position suffix
// " at line {} column {}" every message ends with.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <rapidjson/error/error.h>

#include "system/document_shapes.hpp"

namespace ovralis::reading {

// "struct Point with 3 elements": how type and length errors name a record.
std::string struct_description(std::string_view name, std::size_t fields);

// Text from the document made safe to quote: control characters escaped, and
// byte sequences that are not UTF-8 replaced by U+FFFD.
std::string printable(std::string_view text);

// Whether `text` is UTF-8 throughout; a lone \udc00 escape decodes to bytes
// that are not.
bool is_utf8(std::string_view text);

// "invalid type: {found}, expected {what the place expects}".
std::string type_message(const std::string& found, const Expected& expected);
// The found side of a type message for a scalar: "integer `7`", "null", ...
std::string describe(const Scalar& value);
// A negative integer where an index belongs.
std::string negative_index_message(const Scalar& value);

std::string unknown_variant_message(std::string_view name);
std::string duplicate_field_message(std::string_view name);
std::string missing_field_message(std::string_view name);
// A record given as an array with fewer values than it requires.
std::string short_array_message(std::size_t count, const Record& record);
// A record given as an array with more values than it has fields.
std::string long_array_message(std::size_t count, const Record& record);
// A constraint object with no member, or with a second one after the kind.
std::string no_kind_message();
std::string second_kind_message(std::string_view key);
std::string nesting_message();
std::string number_range_message();

// " at line {} column {}" for the character at `offset`; an offset at the end
// of the text names its last character.
std::string position_text(std::string_view text, std::size_t offset);

// RapidJSON's own message for a syntax error, in the reader's lower-case style:
// "Invalid value." -> "invalid value".
std::string syntax_message(rapidjson::ParseErrorCode code);

}  // namespace ovralis::reading
