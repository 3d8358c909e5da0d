#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "system/number_format.hpp"

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
    testing::Values(FormatCase{2.5, 6, "2.500000", "2.50e0"},
                    FormatCase{1.5e-9, 6, "0.000000", "1.50e-9"},
                    FormatCase{-0.000314, 4, "-0.0003", "-3.14e-4"},
                    FormatCase{0.0, 2, "0.00", "0.00e0"},
                    FormatCase{-0.0, 6, "-0.000000", "-0.00e0"},
                    FormatCase{3.2e-12, 2, "0.00", "3.20e-12"},
                    FormatCase{123456.0, 2, "123456.00", "1.23e5"},
                    // Exact binary ties round to even.
                    FormatCase{0.125, 2, "0.12", "1.25e-1"},
                    FormatCase{0.375, 2, "0.38", nullptr},
                    FormatCase{2.5, 0, "2", nullptr},
                    FormatCase{1e300, 2, nullptr, "1.00e300"},
                    FormatCase{std::nan(""), 6, "NaN", "NaN"},
                    FormatCase{kInf, 6, "inf", "inf"},
                    FormatCase{-kInf, 2, "-inf", "-inf"}));

TEST(NumberFormatLimits, LargestDoubleInFixedNotation) {
    const std::string text = format_fixed(std::numeric_limits<double>::max(), 6);
    EXPECT_EQ(text.size(), 309u + 7u);
    EXPECT_EQ(text.substr(0, 5), "17976");
}

}  // namespace
}  // namespace ovralis
