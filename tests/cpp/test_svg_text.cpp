#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "render/svg_text.hpp"

namespace ovralis::svg {
namespace {

std::string number_text(double value) {
    std::string out;
    append_number(out, value);
    return out;
}

// Pixel numbers as pictures have always written them: the value correctly
// rounded to three decimals by the standard library, trailing zeros and a
// bare point dropped, and a negative zero written "0".
std::string reference_text(double value) {
    char buffer[400];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3).ptr;
    std::string text(buffer, end);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

struct NumberCase {
    double value;
    const char* text;
};

class PixelNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(PixelNumber, IsWrittenShortest) { EXPECT_EQ(number_text(GetParam().value), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Examples, PixelNumber,
    testing::Values(NumberCase{12.5, "12.5"}, NumberCase{-3.0, "-3"}, NumberCase{0.0, "0"},
                    NumberCase{-0.0, "0"}, NumberCase{-0.0004, "0"}, NumberCase{-0.0006, "-0.001"},
                    NumberCase{1234.5678, "1234.568"}, NumberCase{999.9996, "1000"},
                    NumberCase{0.1, "0.1"}, NumberCase{0.05, "0.05"}, NumberCase{1e7 + 0.25, "10000000.25"},
                    NumberCase{-2.5e9, "-2500000000"}));

// Every kind of value a picture meets, and the hard ones: halfway between two
// thousandths exactly (k/16, k/2000 and their neighbours one step away), either side of
// the magnitude where the quick rounding stops, tiny and huge values.
std::vector<double> hard_values() {
    std::vector<double> values;
    for (int k = -4000; k <= 4000; ++k) {
        const double tie = k / 2000.0;
        values.insert(values.end(), {k / 16.0, tie, std::nextafter(tie, -1e9), std::nextafter(tie, 1e9),
                                     1000.0 + tie, 123456.0 + k / 16.0});
    }
    for (const double limit : {1e6, 1e6 - 0.0005, 999999.9995, 2.0e9}) {
        for (const double sign : {1.0, -1.0}) {
            values.insert(values.end(), {sign * limit, sign * std::nextafter(limit, 0.0),
                                         sign * std::nextafter(limit, 1e300)});
        }
    }
    std::mt19937_64 random(2026);
    for (const double scale : {1e-6, 1e-3, 1.0, 1e3, 1e5, 1e9, 1e300}) {
        std::uniform_real_distribution<double> draw(-scale, scale);
        for (int i = 0; i < 20000; ++i) values.push_back(draw(random));
    }
    return values;
}

TEST(PixelNumbers, AreTheValuesRoundedToThreeDecimals) {
    for (const double value : hard_values()) {
        ASSERT_EQ(number_text(value), reference_text(value)) << "value " << value;
    }
}

TEST(PixelNumbers, NotFiniteKeepTheirNames) {
    EXPECT_EQ(number_text(INFINITY), reference_text(INFINITY));
    EXPECT_EQ(number_text(-INFINITY), reference_text(-INFINITY));
    EXPECT_EQ(number_text(NAN), reference_text(NAN));
}

TEST(SvgText, AppendsNumbersIndicesAndText) {
    std::string out = "<g>";
    append(out, "<circle data-point=\"", Index{42}, "\" cx=\"", 1.25, "\" cy=\"", -7.0, "\" fill=\"",
           std::string("#222222"), "\"/>");
    EXPECT_EQ(out, "<g><circle data-point=\"42\" cx=\"1.25\" cy=\"-7\" fill=\"#222222\"/>");
}

}  // namespace
}  // namespace ovralis::svg
