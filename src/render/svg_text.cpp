// The text of an SVG picture (see svg_text.hpp).

#include "render/svg_text.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace ovralis::svg {
namespace {

// Below this magnitude a number times 1000 is off the exact product by less
// than kTieMargin, so the product alone tells which thousandth is nearest.
constexpr double kFastLimit = 1e6;
constexpr double kTieMargin = 1e-6;

void append_integer(std::string& out, std::uint64_t value) {
    char buffer[24];
    out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// The general way: the exact value rounded to three decimals, trailing zeros dropped.
void append_rounded_text(std::string& out, double value) {
    char buffer[400];  // room for any double in fixed notation
    char* end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3).ptr;
    while (end[-1] == '0') --end;
    if (end[-1] == '.') --end;
    const std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    out.append(text == "-0" ? "0" : text);
}

}  // namespace

// Pictures are mostly numbers: the usual case, a magnitude below a million
// that is not within a hair of halfway between two thousandths, is rounded in
// integers (many times faster than formatting the double); the rest, ties
// included, go the general way. Both give the same text.
void append_number(std::string& out, double value) {
    const double thousandths = std::abs(value) * 1000.0;
    if (!(thousandths < kFastLimit * 1000.0)) return append_rounded_text(out, value);
    const double whole = std::floor(thousandths);
    const double fraction = thousandths - whole;
    if (std::abs(fraction - 0.5) < kTieMargin) return append_rounded_text(out, value);
    const auto rounded = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
    if (rounded == 0) return out.push_back('0');
    if (value < 0.0) out.push_back('-');
    append_integer(out, rounded / 1000);
    std::uint64_t decimals = rounded % 1000;
    if (decimals == 0) return;
    char digits[4] = {'.', static_cast<char>('0' + decimals / 100),
                      static_cast<char>('0' + decimals / 10 % 10), static_cast<char>('0' + decimals % 10)};
    std::size_t length = 4;
    while (digits[length - 1] == '0') --length;
    out.append(digits, length);
}

void append_index(std::string& out, Index value) { append_integer(out, value); }

std::string xml_escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace ovralis::svg
