#include <cctype>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "system/errors.hpp"
#include "system/number_text.hpp"
#include "system/system.hpp"
#include "validation/constraint_checks.hpp"
#include "validation/verification.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

constexpr double kPi = 3.141592653589793;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A point at `degrees` on the unit circle around the origin.
Point at_angle(double degrees) {
    const double radians = degrees * kPi / 180.0;
    return {std::cos(radians), std::sin(radians)};
}

std::string test_name(std::string name) {
    for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    }
    return name;
}

// ---------------------------------------------------------------------------
// Number formatting as it appears in the detail texts.

struct FormatCase {
    double value;
    std::string scientific;
};

TEST(DetailNumberFormat, ScientificNotationHasShortExponent) {
    const std::vector<FormatCase> cases = {
        {1.5e-9, "1.50e-9"}, {-0.000314, "-3.14e-4"}, {0.0, "0.00e0"},     {3.2e-12, "3.20e-12"},
        {1.23e5, "1.23e5"},  {kNaN, "NaN"},           {-INFINITY, "-inf"},
    };
    for (const FormatCase& c : cases) EXPECT_EQ(format_scientific(c.value), c.scientific);
}

TEST(DetailNumberFormat, FixedNotationKeepsItsDigits) {
    EXPECT_EQ(format_fixed(2.5, 6), "2.500000");
    EXPECT_EQ(format_fixed(-2.5, 6), "-2.500000");
    EXPECT_EQ(format_fixed(350.0, 2), "350.00");
    EXPECT_EQ(format_fixed(1.00002, 4), "1.0000");
    EXPECT_EQ(format_fixed(INFINITY, 4), "inf");
}

// ---------------------------------------------------------------------------
// The angle error between lines: distance on the full turn, folded by half a turn.

struct AngleErrorCase {
    double actual;
    double target;
    double error;
};

TEST(LineAngleError, FoldsWholeTurnsAndLineOrientation) {
    const std::vector<AngleErrorCase> cases = {
        {90, 270, 0}, {350, 10, 20}, {10, 350, 20}, {45, 45, 0}, {0, 90, 90},
        {0, 100, 80}, {0, 179, 1},   {359, 0, 1},   {725, 0, 5}, {30, 330, 60},
        {180, 0, 0},  {200, 10, 10}, {0, -20, 20},
    };
    for (const AngleErrorCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.actual) + " vs " + std::to_string(c.target));
        EXPECT_NEAR(line_angle_error(c.actual, c.target), c.error, 1e-12);
    }
    EXPECT_TRUE(std::isnan(line_angle_error(kNaN, 10)));
    EXPECT_TRUE(std::isnan(line_angle_error(10, INFINITY)));
}

// ---------------------------------------------------------------------------
// One constraint-specific check at a time: the last constraint of each sketch.

struct CheckCase {
    std::string label;
    System system;
    Index position;
    std::optional<VerificationCheck> expected;
};

std::ostream& operator<<(std::ostream& os, const CheckCase& c) { return os << c.label; }

// The constraint under test is the last of the sketch, checked at its own position.
CheckCase expect(std::string label, System s, std::optional<VerificationCheck> check) {
    const Index position = s.constraints.size() - 1;
    return {std::move(label), std::move(s), position, std::move(check)};
}

CheckCase pass(std::string label, System s, std::string name, std::string detail) {
    return expect(std::move(label), std::move(s),
                  VerificationCheck{std::move(name), std::move(detail), true});
}

CheckCase fail(std::string label, System s, std::string name, std::string detail) {
    return expect(std::move(label), std::move(s),
                  VerificationCheck{std::move(name), std::move(detail), false});
}

CheckCase none(std::string label, System s) {
    return expect(std::move(label), std::move(s), std::nullopt);
}

// Two points and the constraint on them.
System pair(Point a, Point b, Constraint c) { return Sketch{.points = {a, b}, .constraints = {c}}; }

// Points a, b on line 0 and point p, with a constraint on them.
System point_and_line(Point a, Point b, Point p, Constraint c) {
    return Sketch{.points = {a, b, p}, .lines = {{0, 1}}, .constraints = {c}};
}

// Line 0 from the origin along x, line 1 from the origin to `direction`.
System two_lines(Point direction, Constraint c) {
    return Sketch{
        .points = {{0, 0}, {1, 0}, direction}, .lines = {{0, 1}, {0, 2}}, .constraints = {c}};
}

System circle_radius(double radius, Constraint c) {
    return Sketch{.points = {{0, 0}}, .circles = {{0, radius}}, .constraints = {c}};
}

std::vector<CheckCase> check_cases() {
    return {
        pass("DistanceHolds", pair({0, 0}, {3, 4}, constraint(K::Distance, {0, 1}, {5})),
             "distance_check[0]", "|P0-P1| = 5.000000 ≈ d = 5.000000"),
        fail("DistanceOff", pair({0, 0}, {3, 4}, constraint(K::Distance, {0, 1}, {5.5})),
             "distance_check[0]", "|P0-P1| = 5.000000 ≠ d = 5.500000 (err = 5.00e-1)"),
        pass("DistanceNamesItsPoints",
             Sketch{.points = {{3, 4}, {9, 9}, {0, 0}},
                    .constraints = {constraint(K::Distance, {2, 0}, {5})}},
             "distance_check[0]", "|P2-P0| = 5.000000 ≈ d = 5.000000"),
        pass("DistanceSmallTargetAbsolute",
             pair({0, 0}, {0.50005, 0}, constraint(K::Distance, {0, 1}, {0.5})),
             "distance_check[0]", "|P0-P1| = 0.500050 ≈ d = 0.500000"),
        fail("DistanceSmallTargetAbsoluteFails",
             pair({0, 0}, {0.5002, 0}, constraint(K::Distance, {0, 1}, {0.5})), "distance_check[0]",
             "|P0-P1| = 0.500200 ≠ d = 0.500000 (err = 2.00e-4)"),
        pass("DistanceLargeTargetRelative",
             pair({0, 0}, {200.01, 0}, constraint(K::Distance, {0, 1}, {200})), "distance_check[0]",
             "|P0-P1| = 200.010000 ≈ d = 200.000000"),
        fail("DistanceLargeTargetRelativeFails",
             pair({0, 0}, {200.03, 0}, constraint(K::Distance, {0, 1}, {200})), "distance_check[0]",
             "|P0-P1| = 200.030000 ≠ d = 200.000000 (err = 3.00e-2)"),
        fail("DistanceNaNTargetFails",
             pair({0, 0}, {3, 4}, constraint(K::Distance, {0, 1}, {kNaN})), "distance_check[0]",
             "|P0-P1| = 5.000000 ≠ d = NaN (err = NaN)"),
        // Squaring these coordinates overflows; the measured length must not.
        pass("DistanceFarFlungPointsKeepTheirLength",
             pair({0, 0}, {std::ldexp(3.0, 660), std::ldexp(4.0, 660)},
                  constraint(K::Distance, {0, 1}, {std::ldexp(5.0, 660)})),
             "distance_check[0]",
             "|P0-P1| = " + format_fixed(std::ldexp(5.0, 660), 6) +
                 " ≈ d = " + format_fixed(std::ldexp(5.0, 660), 6)),

        pass("HorizontalHolds", pair({0, 0}, {5, 5e-5}, constraint(K::Horizontal, {0, 1})),
             "horizontal_check[0]", "dy = 5.00e-5"),
        fail("HorizontalAtLimitFails", pair({0, 0}, {5, 1e-4}, constraint(K::Horizontal, {0, 1})),
             "horizontal_check[0]", "dy = 1.00e-4"),
        pass("VerticalHolds", pair({0, 0}, {3e-5, 2}, constraint(K::Vertical, {0, 1})),
             "vertical_check[0]", "dx = 3.00e-5"),
        fail("VerticalOff", pair({0, 0}, {0.5, 2}, constraint(K::Vertical, {0, 1})),
             "vertical_check[0]", "dx = 5.00e-1"),
        pass("CoincidentHolds", pair({1, 2}, {1, 2}, constraint(K::Coincident, {0, 1})),
             "coincident_check[0]", "dx = 0.00e0, dy = 0.00e0"),
        fail("CoincidentOffInY", pair({1, 2}, {1, 2.5}, constraint(K::Coincident, {0, 1})),
             "coincident_check[0]", "dx = 0.00e0, dy = 5.00e-1"),
        fail("CoincidentOffInX", pair({1, 2}, {1.5, 2}, constraint(K::Coincident, {0, 1})),
             "coincident_check[0]", "dx = 5.00e-1, dy = 0.00e0"),

        pass("PointOnLineHolds",
             point_and_line({0, 0}, {4, 0}, {2, 3e-5}, constraint(K::PointOnLine, {2, 0})),
             "point_on_line_check[0]", "perpendicular distance = 3.00e-5"),
        fail("PointOnLineOff",
             point_and_line({0, 0}, {4, 0}, {2, 1}, constraint(K::PointOnLine, {2, 0})),
             "point_on_line_check[0]", "perpendicular distance = 1.00e0"),
        none("PointOnLineShortLine",
             point_and_line({0, 0}, {1e-13, 0}, {2, 3}, constraint(K::PointOnLine, {2, 0}))),

        pass("ParallelHolds",
             Sketch{.points = {{0, 0}, {1, 0}, {0, 1}, {2, 1}},
                    .lines = {{0, 1}, {2, 3}},
                    .constraints = {constraint(K::Parallel, {0, 1})}},
             "parallel_check[0]", "sin(angle) = 0.00e0"),
        fail("ParallelOff", two_lines({1, 1}, constraint(K::Parallel, {0, 1})), "parallel_check[0]",
             "sin(angle) = 7.07e-1"),
        pass("ParallelShortLinePassesByRule",
             Sketch{.points = {{0, 0}, {1e-13, 0}, {0, 1}},
                    .lines = {{0, 1}, {0, 2}},
                    .constraints = {constraint(K::Parallel, {0, 1})}},
             "parallel_check[0]", "sin(angle) = 0.00e0"),
        pass("ParallelNaNLinePassesByRule", two_lines({kNaN, 1}, constraint(K::Parallel, {0, 1})),
             "parallel_check[0]", "sin(angle) = 0.00e0"),
        pass("PerpendicularHolds", two_lines({0, 3}, constraint(K::Perpendicular, {0, 1})),
             "perpendicular_check[0]", "cos(angle) = 0.00e0"),
        fail("PerpendicularOff", two_lines({1, 1}, constraint(K::Perpendicular, {0, 1})),
             "perpendicular_check[0]", "cos(angle) = 7.07e-1"),

        pass("AngleHolds", two_lines({0, 1}, constraint(K::Angle, {0, 1}, {90})), "angle_check[0]",
             "actual angle = 90.00° ≈ target = 90.00°"),
        pass("AngleHalfTurnAwayIsSameOrientation",
             two_lines({0, 1}, constraint(K::Angle, {0, 1}, {270})), "angle_check[0]",
             "actual angle = 90.00° ≈ target = 270.00°"),
        pass("AngleNegativeTargetIsWrapped", two_lines({0, 1}, constraint(K::Angle, {0, 1}, {-90})),
             "angle_check[0]", "actual angle = 90.00° ≈ target = 270.00°"),
        pass("AngleReversedLine",
             Sketch{.points = {{0, 0}, {1, 0}, {0, 1}},
                    .lines = {{0, 1}, {2, 0}},
                    .constraints = {constraint(K::Angle, {0, 1}, {90})}},
             "angle_check[0]", "actual angle = 270.00° ≈ target = 90.00°"),
        fail("AngleAcrossZeroErrsByTrueDifference",
             two_lines(at_angle(350), constraint(K::Angle, {0, 1}, {10})), "angle_check[0]",
             "actual angle = 350.00° ≠ target = 10.00° (err = 20.00°)"),
        fail("AngleOff", two_lines({0, 1}, constraint(K::Angle, {0, 1}, {100})), "angle_check[0]",
             "actual angle = 90.00° ≠ target = 100.00° (err = 10.00°)"),
        pass("AngleJustInside", two_lines(at_angle(30.4), constraint(K::Angle, {0, 1}, {30})),
             "angle_check[0]", "actual angle = 30.40° ≈ target = 30.00°"),
        fail("AngleJustOutside", two_lines(at_angle(30.6), constraint(K::Angle, {0, 1}, {30})),
             "angle_check[0]", "actual angle = 30.60° ≠ target = 30.00° (err = 0.60°)"),

        pass("EqualLengthHolds",
             Sketch{.points = {{0, 0}, {3, 4}, {1, 0}, {1, 5.0001}},
                    .lines = {{0, 1}, {2, 3}},
                    .constraints = {constraint(K::EqualLength, {0, 1})}},
             "equal_length_check[0]", "len1 = 5.000000, len2 = 5.000100, rel_err = 2.00e-5"),
        fail("EqualLengthOff",
             Sketch{.points = {{0, 0}, {3, 4}, {1, 0}, {1, 6}},
                    .lines = {{0, 1}, {2, 3}},
                    .constraints = {constraint(K::EqualLength, {0, 1})}},
             "equal_length_check[0]", "len1 = 5.000000, len2 = 6.000000, rel_err = 1.67e-1"),
        pass("EqualLengthBothCollapsed",
             Sketch{.points = {{0, 0}},
                    .lines = {{0, 0}, {0, 0}},
                    .constraints = {constraint(K::EqualLength, {0, 1})}},
             "equal_length_check[0]", "len1 = 0.000000, len2 = 0.000000, rel_err = 0.00e0"),

        pass("FixedPointHolds", pair({9, 9}, {1, 2}, constraint(K::FixedPoint, {1}, {1.00002, 2})),
             "fixed_point_check[0]", "P1 at (1.0000, 2.0000) ≈ (1.0000, 2.0000)"),
        fail("FixedPointOff", pair({9, 9}, {1, 2}, constraint(K::FixedPoint, {1}, {3, 4})),
             "fixed_point_check[0]", "P1 at (1.0000, 2.0000) ≠ (3.0000, 4.0000)"),
        fail("FixedPointOffInYOnly",
             pair({9, 9}, {1, 2}, constraint(K::FixedPoint, {1}, {1, 2.0002})),
             "fixed_point_check[0]", "P1 at (1.0000, 2.0000) ≠ (1.0000, 2.0002)"),

        pass("PointOnCircleHolds",
             Sketch{.points = {{0, 0}, {0, 2.0001}},
                    .circles = {{0, 2}},
                    .constraints = {constraint(K::PointOnCircle, {1, 0})}},
             "point_on_circle_check[0]", "dist = 2.000100, r = 2.000000, err = 1.00e-4"),
        fail("PointOnCircleOff",
             Sketch{.points = {{0, 0}, {3, 0}},
                    .circles = {{0, 2}},
                    .constraints = {constraint(K::PointOnCircle, {1, 0})}},
             "point_on_circle_check[0]", "dist = 3.000000, r = 2.000000, err = 1.00e0"),

        pass("AngleBetweenPointsHolds",
             Sketch{.points = {{1, 0}, {0, 0}, {0, 1}},
                    .constraints = {constraint(K::AngleBetweenPoints, {0, 1, 2}, {90.5})}},
             "angle_between_points_check[0]", "actual = 90.00°, target = 90.50°, err = 0.50°"),
        fail("AngleBetweenPointsOtherSide",
             Sketch{.points = {{1, 0}, {0, 0}, {0, 1}},
                    .constraints = {constraint(K::AngleBetweenPoints, {0, 1, 2}, {-90})}},
             "angle_between_points_check[0]", "actual = 90.00°, target = -90.00°, err = 180.00°"),
        fail("AngleBetweenPointsIsNotWrapped",
             Sketch{.points = {{1, 0}, {0, 0}, {0, 1}},
                    .constraints = {constraint(K::AngleBetweenPoints, {0, 1, 2}, {450})}},
             "angle_between_points_check[0]", "actual = 90.00°, target = 450.00°, err = 360.00°"),

        pass("MidpointHolds",
             Sketch{.points = {{1, 1}, {0, 0}, {2, 2}},
                    .constraints = {constraint(K::Midpoint, {0, 1, 2})}},
             "midpoint_check[0]", "expected (1.0000, 1.0000), got (1.0000, 1.0000)"),
        fail("MidpointOff",
             Sketch{.points = {{1, 1.5}, {0, 0}, {2, 2}},
                    .constraints = {constraint(K::Midpoint, {0, 1, 2})}},
             "midpoint_check[0]", "expected (1.0000, 1.0000), got (1.0000, 1.5000)"),

        pass("EqualRadiusHolds",
             Sketch{.points = {{0, 0}},
                    .circles = {{0, 2}, {0, 2.0001}},
                    .constraints = {constraint(K::EqualRadius, {0, 1})}},
             "equal_radius_check[0]", "r1 = 2.000000, r2 = 2.000100, rel_err = 5.00e-5"),
        fail("EqualRadiusOff",
             Sketch{.points = {{0, 0}},
                    .circles = {{0, 2}, {0, 3}},
                    .constraints = {constraint(K::EqualRadius, {0, 1})}},
             "equal_radius_check[0]", "r1 = 2.000000, r2 = 3.000000, rel_err = 3.33e-1"),
        fail("EqualRadiusOppositeSigns",
             Sketch{.points = {{0, 0}},
                    .circles = {{0, -2}, {0, 2}},
                    .constraints = {constraint(K::EqualRadius, {0, 1})}},
             "equal_radius_check[0]", "r1 = -2.000000, r2 = 2.000000, rel_err = 2.00e0"),

        pass("ConcentricHolds",
             Sketch{.points = {{0, 0}, {5e-5, 0}},
                    .circles = {{0, 1}, {1, 1}},
                    .constraints = {constraint(K::Concentric, {0, 1})}},
             "concentric_check[0]", "center distance = (5.00e-5, 0.00e0)"),
        fail("ConcentricOff",
             Sketch{.points = {{0, 0}, {1, 2}},
                    .circles = {{0, 1}, {1, 1}},
                    .constraints = {constraint(K::Concentric, {0, 1})}},
             "concentric_check[0]", "center distance = (1.00e0, 2.00e0)"),

        pass("SymmetryHolds",
             Sketch{.points = {{0, 0}, {0, 1}, {2, 3}, {-2, 3}},
                    .lines = {{0, 1}},
                    .constraints = {constraint(K::Symmetry, {3, 2, 0})}},
             "symmetry_check[0]", "reflection err = 0.00e0"),
        fail("SymmetryOff",
             Sketch{.points = {{0, 0}, {0, 1}, {2, 3}, {2, 3}},
                    .lines = {{0, 1}},
                    .constraints = {constraint(K::Symmetry, {3, 2, 0})}},
             "symmetry_check[0]", "reflection err = 4.00e0"),
        none("SymmetryShortLine", Sketch{.points = {{0, 0}, {0, 1e-11}, {2, 3}, {2, 3}},
                                         .lines = {{0, 1}},
                                         .constraints = {constraint(K::Symmetry, {3, 2, 0})}}),

        pass("PointLineDistanceHolds",
             point_and_line({0, 0}, {4, 0}, {1, 3}, constraint(K::PointLineDistance, {2, 0}, {3})),
             "point_line_distance_check[0]",
             "actual dist = 3.000000, target = 3.000000, err = 0.00e0"),
        fail(
            "PointLineDistanceOff",
            point_and_line({0, 0}, {4, 0}, {1, 3}, constraint(K::PointLineDistance, {2, 0}, {2.5})),
            "point_line_distance_check[0]",
            "actual dist = 3.000000, target = 2.500000, err = 5.00e-1"),
        fail("PointLineDistanceNegativeTarget",
             point_and_line({0, 0}, {4, 0}, {1, 3}, constraint(K::PointLineDistance, {2, 0}, {-3})),
             "point_line_distance_check[0]",
             "actual dist = 3.000000, target = -3.000000, err = 6.00e0"),
        none("PointLineDistanceShortLine",
             point_and_line({0, 0}, {1e-13, 0}, {1, 3},
                            constraint(K::PointLineDistance, {2, 0}, {3}))),

        pass("CircleRadiusHolds", circle_radius(2, constraint(K::CircleRadius, {0}, {2})),
             "circle_radius_check[0]", "actual r = 2.000000, target = 2.000000, err = 0.00e0"),
        fail("CircleRadiusOff", circle_radius(2, constraint(K::CircleRadius, {0}, {1.5})),
             "circle_radius_check[0]", "actual r = 2.000000, target = 1.500000, err = 5.00e-1"),
        pass("CircleRadiusLargeTargetRelative",
             circle_radius(200.01, constraint(K::CircleRadius, {0}, {200})),
             "circle_radius_check[0]", "actual r = 200.010000, target = 200.000000, err = 1.00e-2"),

        pass("PointOnLineAtHolds",
             point_and_line({0, 0}, {4, 0}, {1, 0}, constraint(K::PointOnLineAt, {2, 0}, {0.25})),
             "point_on_line_at_check[0]", "position err = 0.00e0"),
        pass("PointOnLineAtBeyondSegment",
             point_and_line({0, 0}, {4, 0}, {8, 0}, constraint(K::PointOnLineAt, {2, 0}, {2})),
             "point_on_line_at_check[0]", "position err = 0.00e0"),
        fail("PointOnLineAtOff",
             point_and_line({0, 0}, {4, 0}, {1, 3}, constraint(K::PointOnLineAt, {2, 0}, {0.25})),
             "point_on_line_at_check[0]", "position err = 3.00e0"),

        pass("ArcRadiusHolds",
             Sketch{.points = {{0, 0}, {1, 0}, {0, 1}},
                    .arcs = {{0, 1, 2, 1}},
                    .constraints = {constraint(K::ArcRadius, {0}, {1})}},
             "arc_radius_check[0]", "actual r = 1.000000, target = 1.000000, err = 0.00e0"),
        fail("ArcRadiusOff",
             Sketch{.points = {{0, 0}, {1, 0}, {0, 1}},
                    .arcs = {{0, 1, 2, 1}},
                    .constraints = {constraint(K::ArcRadius, {0}, {1.5})}},
             "arc_radius_check[0]", "actual r = 1.000000, target = 1.500000, err = 5.00e-1"),
        pass("EllipseRadminHolds",
             Sketch{.points = {{0, 0}, {3, 0}},
                    .ellipses = {{0, 1, 1}},
                    .constraints = {constraint(K::EllipseRadmin, {0}, {1})}},
             "ellipse_radmin_check[0]",
             "actual radmin = 1.000000, target = 1.000000, err = 0.00e0"),
        fail("EllipseRadminOff",
             Sketch{.points = {{0, 0}, {3, 0}},
                    .ellipses = {{0, 1, 1}},
                    .constraints = {constraint(K::EllipseRadmin, {0}, {1.5})}},
             "ellipse_radmin_check[0]",
             "actual radmin = 1.000000, target = 1.500000, err = 5.00e-1"),
    };
}

class ConstraintChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(ConstraintChecks, NamePassRuleAndDetail) {
    const CheckCase& c = GetParam();
    const auto check = constraint_check(c.system, c.system.constraints.back(), c.position);
    ASSERT_EQ(check.has_value(), c.expected.has_value());
    if (!check) return;
    EXPECT_EQ(check->name, c.expected->name);
    EXPECT_EQ(check->detail, c.expected->detail);
    EXPECT_EQ(check->passed, c.expected->passed);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ConstraintChecks, testing::ValuesIn(check_cases()),
                         [](const testing::TestParamInfo<CheckCase>& info) {
                             return test_name(info.param.label);
                         });

TEST(ConstraintChecks, NameCarriesThePositionInTheList) {
    const System s = two_lines({2, 0}, constraint(K::Parallel, {0, 1}));
    const auto check = constraint_check(s, s.constraints[0], 7);
    ASSERT_TRUE(check.has_value());
    EXPECT_EQ(check->name, "parallel_check[7]");
}

// Kinds without a sanity check of their own contribute nothing, whatever the geometry.
class KindsWithoutCheck : public testing::TestWithParam<ConstraintKind> {};

TEST_P(KindsWithoutCheck, AppendNothing) {
    const System s = Sketch{.points = {{0, 0}, {1, 0}, {0, 1}, {1, 1}},
                            .lines = {{0, 1}, {2, 3}},
                            .circles = {{0, 1}, {3, 2}},
                            .arcs = {{0, 1, 2, 1}, {3, 1, 2, 1}},
                            .ellipses = {{0, 1, 0.5}, {3, 2, 0.5}},
                            .arcs_of_ellipse = {{0, 1, 0.5, 2, 3}}};
    EXPECT_FALSE(constraint_check(s, constraint(GetParam(), {0, 1, 0}, {3, 3}), 0).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, KindsWithoutCheck,
    testing::Values(K::LineCircleTangent, K::CircleCircleTangent, K::CircleCircleTangentInternal,
                    K::LineLineIntersection, K::PointOnArc, K::LineArcTangent, K::ArcArcTangent,
                    K::ArcArcTangentInternal, K::ArcCircleTangent, K::ArcCircleTangentInternal,
                    K::ArcSweepAngle, K::LineArcStartTangent, K::LineArcEndTangent,
                    K::PointOnEllipse, K::EllipseTangentLine, K::EqualMajorAxes, K::EqualMinorAxes,
                    K::PointOnArcOfEllipse, K::C2CDistance, K::P2CDistance, K::ArcLength,
                    K::EqualLineLength, K::EllipseFocusDistance),
    [](const testing::TestParamInfo<ConstraintKind>& info) {
        return std::string(kind_info(info.param).name);
    });

// ---------------------------------------------------------------------------
// The whole pass.

std::vector<std::string> names(const VerificationReport& report) {
    std::vector<std::string> out;
    for (const VerificationCheck& c : report.checks) out.push_back(c.name);
    return out;
}

const VerificationCheck& find_check(const VerificationReport& report, const std::string& name) {
    for (const VerificationCheck& c : report.checks) {
        if (c.name == name) return c;
    }
    throw std::runtime_error("no check named " + name);
}

TEST(Verify, EmptySystemIsCorrect) {
    const VerificationReport report = verify(System{}, 1e-6);
    EXPECT_EQ(report.max_residual, 0.0);
    EXPECT_EQ(report.tolerance, 1e-6);
    EXPECT_EQ(report.verdict, Verdict::Correct);
    EXPECT_TRUE(report.warnings.empty());
    ASSERT_EQ(report.checks.size(), 3u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"residual_check", "max_residual = 0.00e0 < tol = 1.00e-6"},
        {"geometry_check", "No degenerate geometry detected"},
        {"fixed_point_integrity", "All fixed points remain at their specified positions"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(report.checks[i].name, expected[i].first);
        EXPECT_EQ(report.checks[i].detail, expected[i].second);
        EXPECT_TRUE(report.checks[i].passed);
    }
}

TEST(Verify, ZeroToleranceRejectsEvenAZeroResidual) {
    const VerificationReport report = verify(System{}, 0.0);
    EXPECT_EQ(report.verdict, Verdict::ResidualTooHigh);
    EXPECT_FALSE(report.checks[0].passed);
    EXPECT_EQ(report.checks[0].detail,
              "max_residual = 0.00e0 >= tol = 0.00e0 — residual too high!");
}

TEST(Verify, MaxResidualIsTheLargestFiniteDistanceError) {
    // Distance residuals are |P1 - P2| - d: here 0.25 and -0.5, and a NaN that is skipped.
    const System s = Sketch{.points = {{0, 0}, {3, 4}},
                            .constraints = {constraint(K::Distance, {0, 1}, {4.75}),
                                            constraint(K::Distance, {0, 1}, {kNaN}),
                                            constraint(K::Distance, {0, 1}, {5.5})}};
    const VerificationReport report = verify(s, 1.0);
    EXPECT_EQ(report.max_residual, 0.5);
    EXPECT_TRUE(report.checks[0].passed);
    EXPECT_EQ(report.checks[0].detail, "max_residual = 5.00e-1 < tol = 1.00e0");
}

TEST(Verify, ChecksComeInPassOrderWithListPositions) {
    // Constraint 1 has no check of its own and constraint 3 sits on a line too short to measure.
    const System s =
        Sketch{.points = {{0, 0}, {3, 4}, {0, 1}, {2, 1}, {1e-13, 0}},
               .lines = {{0, 1}, {2, 3}, {0, 4}},
               .circles = {{0, 1}},
               .constraints = {
                   constraint(K::Distance, {0, 1}, {5}), constraint(K::LineCircleTangent, {1, 0}),
                   constraint(K::EqualLength, {0, 0}), constraint(K::PointOnLine, {3, 2})}};
    const VerificationReport report = verify(s, 1e9);
    const std::vector<std::string> expected = {"residual_check", "geometry_check",
                                               "distance_check[0]", "equal_length_check[2]",
                                               "fixed_point_integrity"};
    EXPECT_EQ(names(report), expected);
}

// The verdicts in their order of precedence: residual, then geometry, then the checks.
TEST(Verify, ResidualOutranksGeometryAndWarningsAreKept) {
    const System s = Sketch{.points = {{0, 0}, {3, 4}},
                            .circles = {{0, 0.0}},
                            .constraints = {constraint(K::Distance, {0, 1}, {6})}};
    const VerificationReport report = verify(s, 1e-6);
    EXPECT_EQ(report.verdict, Verdict::ResidualTooHigh);
    EXPECT_EQ(report.checks[0].detail,
              "max_residual = 1.00e0 >= tol = 1.00e-6 — residual too high!");
    ASSERT_EQ(report.warnings.size(), 1u);
    EXPECT_EQ(report.warnings[0].message, "Circle 0 has non-positive radius (0.000000)");
    EXPECT_EQ(find_check(report, "geometry_check").detail, "1 geometry warning(s) detected");
}

// Line 1 at -30 degrees against a target of +30: the cosine residual is met, the angle is not.
System angle_on_wrong_branch() {
    return Sketch{.points = {{0, 0}, {1, 0}, at_angle(-30)},
                  .lines = {{0, 1}, {0, 2}},
                  .constraints = {constraint(K::Angle, {0, 1}, {30})}};
}

TEST(Verify, GeometryOutranksAFailedCheck) {
    System s = angle_on_wrong_branch();
    s.circles = {{0, -1.0}, {0, 0.0}};
    const VerificationReport report = verify(s, 1e-6);
    EXPECT_EQ(report.verdict, Verdict::DegenerateGeometry);
    EXPECT_EQ(report.warnings.size(), 2u);
    EXPECT_EQ(find_check(report, "geometry_check").detail, "2 geometry warning(s) detected");
    EXPECT_FALSE(find_check(report, "angle_check[0]").passed);
}

TEST(Verify, FailedCheckWithSmallResidualIsWrongBranch) {
    const VerificationReport report = verify(angle_on_wrong_branch(), 1e-6);
    EXPECT_LT(report.max_residual, 1e-12);
    EXPECT_EQ(report.verdict, Verdict::WrongBranch);
    EXPECT_EQ(find_check(report, "angle_check[0]").detail,
              "actual angle = 330.00° ≠ target = 30.00° (err = 60.00°)");
}

TEST(Verify, MovedFixedPointAloneIsWrongBranch) {
    // 5e-10 off: inside the residual tolerance and the 1e-4 check, beyond the 1e-10
    // integrity limit.
    const System s = Sketch{.points = {{1, 2, true}},
                            .constraints = {constraint(K::FixedPoint, {0}, {1, 2 + 5e-10})}};
    const VerificationReport report = verify(s, 1e-6);
    EXPECT_EQ(report.verdict, Verdict::WrongBranch);
    EXPECT_TRUE(find_check(report, "fixed_point_check[0]").passed);
    const VerificationCheck& integrity = report.checks.back();
    EXPECT_EQ(integrity.name, "fixed_point_integrity");
    EXPECT_FALSE(integrity.passed);
    EXPECT_EQ(integrity.detail,
              "Fixed points moved: P0 moved from (1.000000, 2.000000) to (1.000000, 2.000000)");
}

TEST(Verify, IntegrityReportsByPointThenByConstraint) {
    // P2 is not flagged and P3 has no target: neither is examined. P1's second target matches.
    const System s = Sketch{
        .points = {{0, 0, true}, {5, 5, true}, {7, 7}, {9, 9, true}},
        .constraints = {
            constraint(K::FixedPoint, {1}, {6, 5}), constraint(K::FixedPoint, {0}, {1, 0}),
            constraint(K::FixedPoint, {1}, {5, 5}), constraint(K::FixedPoint, {2}, {0, 0}),
            constraint(K::FixedPoint, {1}, {5, 4}), constraint(K::FixedPoint, {0}, {5e-11, 0})}};
    const VerificationReport report = verify(s, 100.0);
    EXPECT_EQ(report.checks.back().detail,
              "Fixed points moved: P0 moved from (1.000000, 0.000000) to (0.000000, 0.000000); "
              "P1 moved from (6.000000, 5.000000) to (5.000000, 5.000000); "
              "P1 moved from (5.000000, 4.000000) to (5.000000, 5.000000)");
}

TEST(Verify, DanglingReferencesAreRejectedBeforeAnythingIsRead) {
    const System dangling_line = Sketch{.points = {{0, 0}, {1, 0}}, .lines = {{0, 7}}};
    EXPECT_EQ(error_text<InvalidReference>([&] { verify(dangling_line, 1e-6); }),
              "Point index 7 out of range");
    const System dangling_circle =
        Sketch{.points = {{0, 0}}, .constraints = {constraint(K::CircleRadius, {3}, {1})}};
    EXPECT_THROW(verify(dangling_circle, 1e-6), InvalidReference);
}

TEST(Summary, NamesVerdictFiguresAndPassedCount) {
    VerificationReport report;
    report.checks = {
        {"a", "", true}, {"b", "", true}, {"c", "", false}, {"d", "", true}, {"e", "", true}};
    report.max_residual = 3.2e-12;
    report.tolerance = 1e-6;
    report.verdict = Verdict::WrongBranch;
    EXPECT_EQ(summary_line(report),
              "[WrongBranch] max_residual=3.20e-12 tol=1.00e-6 checks=4/5 passed");
}

TEST(Summary, VerdictTexts) {
    EXPECT_STREQ(verdict_text(Verdict::Correct), "Correct");
    EXPECT_STREQ(verdict_text(Verdict::ResidualTooHigh), "ResidualTooHigh");
    EXPECT_STREQ(verdict_text(Verdict::DegenerateGeometry), "DegenerateGeometry");
    EXPECT_STREQ(verdict_text(Verdict::WrongBranch), "WrongBranch");
}

}  // namespace
}  // namespace ovralis
