#pragma once

// The text of an SVG picture, written straight into the document: pixel
// numbers, indices and the literal pieces of each element are appended in
// place, so drawing thousands of elements makes no temporary strings.

#include <concepts>
#include <type_traits>
#include <string>
#include <string_view>

#include "system/entities.hpp"

namespace ovralis::svg {

// Pixel numbers with at most three decimals and no trailing zeros ("12.5", "-3", "0").
void append_number(std::string& out, double value);
void append_index(std::string& out, Index value);
std::string xml_escaped(std::string_view text);

// Appends each part: a double as a pixel number, an Index as an integer, and
// anything else (literal, std::string, string_view) as its text.
template <typename... Parts>
void append(std::string& out, const Parts&... parts) {
    const auto one = [&out](const auto& part) {
        using Part = std::decay_t<decltype(part)>;
        if constexpr (std::same_as<Part, double>) {
            append_number(out, part);
        } else if constexpr (std::same_as<Part, Index>) {
            append_index(out, part);
        } else {
            out.append(std::string_view(part));
        }
    };
    (one(parts), ...);
}

}  // namespace ovralis::svg
