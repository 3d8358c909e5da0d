#pragma once

#include <charconv>
#include <string>
#include <string_view>

namespace ovralis {

// The document's spelling of a finite double: the shortest digits d1...dn that
// read back to the same value, with the decimal point at k (value = 0.d1...dn
// x 10^k), laid out as
//   0 < k <= 16   plain, ".0" when nothing follows the point  (5 -> "5.0", 123.5 -> "123.5")
//   -5 < k <= 0   "0." then -k zeros then the digits          (0.00001 -> "0.00001")
//   otherwise     d1[.d2...dn]e<k-1>                           (1e-6 -> "1e-6", 1e16 -> "1e16")
// Zero is "0.0" and negative zero "-0.0". Callers handle NaN and infinities.
inline std::string format_json_number(double value) {
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

}  // namespace ovralis
