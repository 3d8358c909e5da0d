#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <variant>

#include "system/number_text.hpp"

namespace ovralis {
namespace {

struct FormatCase {
    double value;
    int digits;
    const char* fixed;
    const char* scientific;
};

class NumberFormat : public testing::TestWithParam<FormatCase> {};

TEST_P(NumberFormat, MatchesTheNotations) {
    const FormatCase& c = GetParam();
    if (c.fixed) {
        EXPECT_EQ(format_fixed(c.value, c.digits), c.fixed);
    }
    if (c.scientific) {
        EXPECT_EQ(format_scientific(c.value), c.scientific);
    }
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Examples, NumberFormat,
    testing::Values(
        FormatCase{2.5, 6, "2.500000", "2.50e0"}, FormatCase{1.5e-9, 6, "0.000000", "1.50e-9"},
        FormatCase{-0.000314, 4, "-0.0003", "-3.14e-4"}, FormatCase{0.0, 2, "0.00", "0.00e0"},
        FormatCase{-0.0, 6, "-0.000000", "-0.00e0"}, FormatCase{3.2e-12, 2, "0.00", "3.20e-12"},
        FormatCase{123456.0, 2, "123456.00", "1.23e5"},
        // Exact binary ties round to even.
        FormatCase{0.125, 2, "0.12", "1.25e-1"}, FormatCase{0.375, 2, "0.38", nullptr},
        FormatCase{2.5, 0, "2", nullptr}, FormatCase{1e300, 2, nullptr, "1.00e300"},
        FormatCase{std::nan(""), 6, "NaN", "NaN"}, FormatCase{kInf, 6, "inf", "inf"},
        FormatCase{-kInf, 2, "-inf", "-inf"}));

TEST(NumberFormatLimits, LargestDoubleInFixedNotation) {
    const std::string text = format_fixed(std::numeric_limits<double>::max(), 6);
    EXPECT_EQ(text.size(), 309u + 7u);
    EXPECT_EQ(text.substr(0, 5), "17976");
}

// What a number text must read as: the alternative (0 unsigned, 1 signed,
// 2 double, -1 out of range) and the value.
struct ReadCase {
    const char* text;
    int alternative;
    double value;
};

class JsonNumberReading : public testing::TestWithParam<ReadCase> {};

TEST_P(JsonNumberReading, ClassifiesAndRoundsTheText) {
    const ReadCase& c = GetParam();
    const std::optional<JsonNumber> number = read_json_number(c.text);
    if (c.alternative < 0) {
        EXPECT_FALSE(number.has_value());
        return;
    }
    ASSERT_TRUE(number.has_value());
    ASSERT_EQ(static_cast<int>(number->index()), c.alternative);
    const double read = std::visit([](auto n) { return static_cast<double>(n); }, *number);
    EXPECT_EQ(read, c.value);
    EXPECT_EQ(std::signbit(read), std::signbit(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JsonNumberReading,
    testing::Values(ReadCase{"0", 0, 0.0},
                    ReadCase{"18446744073709551615", 0, 18446744073709551615.0},
                    // One past the unsigned range is no longer an integer.
                    ReadCase{"18446744073709551616", 2, 18446744073709551616.0},
                    ReadCase{"-1", 1, -1.0},
                    ReadCase{"-9223372036854775808", 1, -9223372036854775808.0},
                    ReadCase{"-9223372036854775809", 2, -9223372036854775809.0},
                    ReadCase{"-0", 2, -0.0}, ReadCase{"1.0", 2, 1.0}, ReadCase{"1E+2", 2, 100.0},
                    ReadCase{"0.1000000000000000055511151231257827", 2, 0.1},
                    ReadCase{"2.2250738585072011e-308", 2, 2.2250738585072011e-308},
                    // Too small: zero of its sign, however the exponent is spelled.
                    ReadCase{"1e-400", 2, 0.0}, ReadCase{"-1e-400", 2, -0.0},
                    ReadCase{"123.456e-99999999999999999999", 2, 0.0},
                    ReadCase{"0.00000e-400", 2, 0.0}, ReadCase{"0e99999999999999999999", 2, 0.0},
                    // Too large for a double, save the spellings of the infinities.
                    ReadCase{"1.0e309", 2, std::numeric_limits<double>::infinity()},
                    ReadCase{"-1.0e309", 2, -std::numeric_limits<double>::infinity()},
                    ReadCase{"1.00e309", -1, 0.0}, ReadCase{"1e309", -1, 0.0},
                    ReadCase{"1e400", -1, 0.0}, ReadCase{"-0.5e309", -1, 0.0},
                    ReadCase{"1.7976931348623159e308", -1, 0.0},
                    ReadCase{"0.000001e99999999999999999999", -1, 0.0}));

}  // namespace
}  // namespace ovralis
