// Number text both ways, on the standard library's correctly rounded
// conversions (std::to_chars and std::from_chars); only the layouts are ours.
#include "system/number_text.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

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

// Whether a number text outside the range of double is too small (it then
// reads as zero) rather than too large: decided by the power of ten of its
// first significant digit, which is negative exactly when the value is below one.
bool below_double_range(std::string_view number) {
    if (number.front() == '-') number.remove_prefix(1);
    const std::size_t e = std::min(number.find_first_of("eE"), number.size());
    const std::string_view mantissa = number.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    // Zero is never out of range, so a significant digit exists.
    const std::size_t first = mantissa.find_first_of("123456789");
    long long power = first < point ? static_cast<long long>(point - first - 1)
                                    : -static_cast<long long>(first - point);
    if (e < number.size()) {
        std::string_view exponent = number.substr(e + 1);
        const bool minus = exponent.front() == '-';
        if (minus || exponent.front() == '+') exponent.remove_prefix(1);
        long long value = 0;
        const auto parsed =
            std::from_chars(exponent.data(), exponent.data() + exponent.size(), value);
        // An exponent this large outweighs any number of mantissa digits.
        if (parsed.ec != std::errc{} || value > 1'000'000'000'000) return minus;
        power += minus ? -value : value;
    }
    return power < 0;
}

}  // namespace

std::string format_json_number(double value) {
    // std::to_chars in scientific form yields exactly the shortest round-trip
    // digits, as "d[.ddd]e(+|-)XX"; only the layout differs from ours.
    // 32 characters hold any double in this form, so the conversion cannot fail.
    char buffer[32];
    const char* end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific).ptr;
    const std::string_view scientific(buffer, static_cast<std::size_t>(end - buffer));

    const std::size_t e = scientific.find('e');
    std::string_view mantissa = scientific.substr(0, e);
    std::string_view exponent_text = scientific.substr(e + 1);
    if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent);

    std::string text;
    if (mantissa.front() == '-') {
        text += '-';
        mantissa.remove_prefix(1);
    }
    std::string digits(1, mantissa.front());
    if (mantissa.size() > 2) digits.append(mantissa.substr(2));  // skip "d."

    const int n = static_cast<int>(digits.size());
    const int k = exponent + 1;
    if (k > 0 && k <= 16) {
        if (n <= k) {
            text += digits;
            text.append(static_cast<std::size_t>(k - n), '0');
            text += ".0";
        } else {
            text.append(digits, 0, static_cast<std::size_t>(k));
            text += '.';
            text.append(digits, static_cast<std::size_t>(k));
        }
    } else if (k > -5 && k <= 0) {
        text += "0.";
        text.append(static_cast<std::size_t>(-k), '0');
        text += digits;
    } else {
        text += digits.front();
        if (n > 1) {
            text += '.';
            text.append(digits, 1);
        }
        text += 'e';
        text += std::to_string(k - 1);
    }
    return text;
}

std::string_view json_infinity_text(bool negative) { return negative ? "-1.0e309" : "1.0e309"; }

std::optional<JsonNumber> read_json_number(std::string_view text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (text.find_first_of(".eE") == std::string_view::npos) {
        if (text.front() == '-') {
            std::int64_t value = 0;
            if (std::from_chars(first, last, value).ec == std::errc{}) {
                // "-0" keeps its sign, as "-0.0" does: it is the real negative zero.
                return value == 0 ? JsonNumber{-0.0} : JsonNumber{value};
            }
        } else {
            std::uint64_t value = 0;
            if (std::from_chars(first, last, value).ec == std::errc{}) return JsonNumber{value};
        }
    }
    double value = 0.0;
    if (std::from_chars(first, last, value).ec == std::errc{}) return JsonNumber{value};
    if (below_double_range(text)) return JsonNumber{text.front() == '-' ? -0.0 : 0.0};
    for (const bool negative : {false, true}) {
        if (text == json_infinity_text(negative)) {
            const double infinity = std::numeric_limits<double>::infinity();
            return JsonNumber{negative ? -infinity : infinity};
        }
    }
    return std::nullopt;
}

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
