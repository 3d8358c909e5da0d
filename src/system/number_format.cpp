#include "system/number_format.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace ovralis {
namespace {

const char* non_finite_text(double value) {
    if (std::isnan(value)) return "NaN";
    return value > 0 ? "inf" : "-inf";
}

std::string to_chars_string(double value, std::chars_format format, int digits) {
    // Fixed notation of 1e308 needs about 310 characters before the point.
    std::array<char, 400> buffer;
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, digits);
    return std::string(buffer.data(), result.ptr);
}

}  // namespace

std::string format_fixed(double value, int digits) {
    if (!std::isfinite(value)) return non_finite_text(value);
    return to_chars_string(value, std::chars_format::fixed, digits);
}

std::string format_scientific(double value, int digits) {
    if (!std::isfinite(value)) return non_finite_text(value);
    // to_chars writes "1.50e-09"; the exponent is rewritten without "+" or leading zeros.
    const std::string text = to_chars_string(value, std::chars_format::scientific, digits);
    const std::size_t e = text.find('e');
    const std::string_view exponent(text.data() + e + 1, text.size() - e - 1);
    const bool negative = exponent.front() == '-';
    std::string_view magnitude = exponent.substr(1);
    while (magnitude.size() > 1 && magnitude.front() == '0') magnitude.remove_prefix(1);
    std::string out = text.substr(0, e + 1);
    if (negative) out += '-';
    out += magnitude;
    return out;
}

}  // namespace ovralis
