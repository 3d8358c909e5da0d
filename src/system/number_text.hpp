// Number text both ways: the document's spelling of reals, written and read,
// and the two notations of every message and representation.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace ovralis {

// The document's spelling of a finite double: the shortest digits d1...dn that
// read back to the same value, with the decimal point at k (value = 0.d1...dn
// x 10^k), laid out as
//   0 < k <= 16   plain, ".0" when nothing follows the point  (5 -> "5.0", 123.5 -> "123.5")
//   -5 < k <= 0   "0." then -k zeros then the digits          (0.00001 -> "0.00001")
//   otherwise     d1[.d2...dn]e<k-1>                           (1e-6 -> "1e-6", 1e16 -> "1e16")
// Zero is "0.0" and negative zero "-0.0". Callers handle NaN and infinities.
std::string format_json_number(double value);

// The document's spelling of an infinity: "1.0e309" and "-1.0e309", numbers
// just beyond a double's range, which JSON readers that read numbers as
// doubles take as infinities, and which read_json_number reads back as
// exactly these infinities. (RapidJSON's reader refuses exponents above 308
// minus the fraction digits, so "1e309" or "1e999" would not parse at all.)
std::string_view json_infinity_text(bool negative);

// What a JSON number text denotes: a non-negative or a negative integer when
// it has neither fraction nor exponent and fits 64 bits, otherwise a double.
using JsonNumber = std::variant<std::uint64_t, std::int64_t, double>;

// Reads a JSON number text (already checked for JSON syntax) to the nearest
// double with correct rounding, or to an integer as above; "-0" is negative
// zero. A value too small for a double reads as zero of its sign; nullopt when
// it is too large for one, except the infinities' own spellings (above).
std::optional<JsonNumber> read_json_number(std::string_view text);

// The two number notations of every message and representation:
//   format_fixed(2.5, 6)      -> "2.500000"   (never an exponent)
//   format_scientific(1.5e-9) -> "1.50e-9"    (no "+", no leading exponent zeros)
// Both round correctly with exact ties to even, and print NaN as "NaN" and
// infinities as "inf" and "-inf".
std::string format_fixed(double value, int digits);
std::string format_scientific(double value, int digits = 2);

}  // namespace ovralis
