#pragma once

#include <string>

namespace ovralis {

// The two number notations of every message and representation:
//   format_fixed(2.5, 6)      -> "2.500000"   (never an exponent)
//   format_scientific(1.5e-9) -> "1.50e-9"    (no "+", no leading exponent zeros)
// Both round correctly with exact ties to even, and print NaN as "NaN" and
// infinities as "inf" and "-inf".
std::string format_fixed(double value, int digits);
std::string format_scientific(double value, int digits = 2);

}  // namespace ovralis
