// Geometric errors against gaps built into each sketch: a known distance off a
// line or a circle, a known angle between lines; zero on exact configurations.

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "residual/geometric_error.hpp"
#include "system/store.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

constexpr double kPi = 3.141592653589793;
constexpr double kScale = 2.0;

struct ErrorCase {
    std::string name;
    std::function<void(Sketch&)> build;  // adds exactly one constraint
    double expected;                     // exact geometric gap, already scaled
};

double error_of(const ErrorCase& c) {
    Sketch sketch;
    c.build(sketch);
    return geometric_error(sketch, sketch.constraints.front(), kScale);
}

// The unit direction at `deg` degrees, scaled by `length`.
double cx(double deg, double length = 1.0) { return length * std::cos(deg * kPi / 180.0); }
double cy(double deg, double length = 1.0) { return length * std::sin(deg * kPi / 180.0); }

const double kSmall = 0.01;  // radians
const double kSmallDeg = kSmall * 180.0 / kPi;

// One exactly satisfied sketch per kind: every kind must read 0 there.
const ErrorCase kSatisfied[] = {
    {"Distance",
     [](Sketch& s) {
         s.constrain(K::Distance, {s.point(0, 0), s.point(3, 4)}, {5});
     },
     0},
    {"Horizontal",
     [](Sketch& s) {
         s.constrain(K::Horizontal, {s.point(1, 2), s.point(7, 2)});
     },
     0},
    {"Vertical",
     [](Sketch& s) {
         s.constrain(K::Vertical, {s.point(1, 2), s.point(1, 9)});
     },
     0},
    {"Coincident",
     [](Sketch& s) {
         s.constrain(K::Coincident, {s.point(1, 2), s.point(1, 2)});
     },
     0},
    {"PointOnLine",
     [](Sketch& s) {
         s.constrain(K::PointOnLine, {s.point(5, 5), s.line(0, 0, 2, 2)});
     },
     0},
    {"Parallel",
     [](Sketch& s) {
         s.constrain(K::Parallel, {s.line(0, 0, 1, 2), s.line(5, 0, 3, -4)});
     },
     0},
    {"Perpendicular",
     [](Sketch& s) {
         s.constrain(K::Perpendicular, {s.line(0, 0, 1, 2), s.line(0, 0, -2, 1)});
     },
     0},
    {"Angle",
     [](Sketch& s) {
         s.constrain(K::Angle, {s.line(0, 0, 1, 0), s.line(0, 0, 0, 3)}, {90});
     },
     0},
    {"EqualLength",
     [](Sketch& s) {
         s.constrain(K::EqualLength, {s.line(0, 0, 3, 4), s.line(1, 1, 6, 1)});
     },
     0},
    {"FixedPoint",
     [](Sketch& s) {
         s.constrain(K::FixedPoint, {s.point(2, 3)}, {2, 3});
     },
     0},
    {"PointOnCircle",
     [](Sketch& s) {
         s.constrain(K::PointOnCircle, {s.point(3, 4), s.circle(0, 0, 5)});
     },
     0},
    {"LineCircleTangent",
     [](Sketch& s) {
         s.constrain(K::LineCircleTangent, {s.line(0, 1, 4, 1), s.circle(0, 0, 1)});
     },
     0},
    {"CircleCircleTangent",
     [](Sketch& s) {
         s.constrain(K::CircleCircleTangent, {s.circle(0, 0, 1), s.circle(3, 0, 2)});
     },
     0},
    {"CircleCircleTangentInternal",
     [](Sketch& s) {
         s.constrain(K::CircleCircleTangentInternal, {s.circle(0, 0, 1), s.circle(1, 0, 2)});
     },
     0},
    {"AngleBetweenPoints",
     [](Sketch& s) {
         s.constrain(K::AngleBetweenPoints, {s.point(1, 0), s.point(0, 0), s.point(0, 1)}, {90});
     },
     0},
    {"Midpoint",
     [](Sketch& s) {
         s.constrain(K::Midpoint, {s.point(1, 1), s.point(0, 0), s.point(2, 2)});
     },
     0},
    {"EqualRadius",
     [](Sketch& s) {
         s.constrain(K::EqualRadius, {s.circle(0, 0, 2), s.circle(5, 5, 2)});
     },
     0},
    {"Concentric",
     [](Sketch& s) {
         s.constrain(K::Concentric, {s.circle(1, 1, 2), s.circle(1, 1, 3)});
     },
     0},
    {"Symmetry",
     [](Sketch& s) {
         s.constrain(K::Symmetry, {s.point(-1, 2), s.point(1, 2), s.line(0, 0, 0, 1)});
     },
     0},
    {"PointLineDistance",
     [](Sketch& s) {
         s.constrain(K::PointLineDistance, {s.point(0, 3), s.line(0, 0, 4, 0)}, {3});
     },
     0},
    {"LineLineIntersection",
     [](Sketch& s) {
         s.constrain(K::LineLineIntersection,
                     {s.point(1, 1), s.line(0, 0, 2, 2), s.line(0, 2, 2, 0)});
     },
     0},
    {"CircleRadius", [](Sketch& s) { s.constrain(K::CircleRadius, {s.circle(0, 0, 2.5)}, {2.5}); },
     0},
    {"PointOnLineAt",
     [](Sketch& s) {
         s.constrain(K::PointOnLineAt, {s.point(3, 0), s.line(0, 0, 2, 0)}, {1.5});
     },
     0},
    {"PointOnArc",
     [](Sketch& s) {
         s.constrain(K::PointOnArc, {s.point(0, 2), s.arc(0, 0, 2, 0, 0, 2, 2)});
     },
     0},
    {"LineArcTangent",
     [](Sketch& s) {
         s.constrain(K::LineArcTangent, {s.line(2, -5, 2, 5), s.arc(0, 0, 2, 0, 0, 2, 2)});
     },
     0},
    {"ArcArcTangent",
     [](Sketch& s) {
         s.constrain(K::ArcArcTangent, {s.arc(0, 0, 1, 0, 0, 1, 1), s.arc(3, 0, 5, 0, 3, 2, 2)});
     },
     0},
    {"ArcArcTangentInternal",
     [](Sketch& s) {
         s.constrain(K::ArcArcTangentInternal,
                     {s.arc(0, 0, 1, 0, 0, 1, 1), s.arc(1, 0, 3, 0, 1, 2, 2)});
     },
     0},
    {"ArcCircleTangent",
     [](Sketch& s) {
         s.constrain(K::ArcCircleTangent, {s.arc(0, 0, 1, 0, 0, 1, 1), s.circle(0, 4, 3)});
     },
     0},
    {"ArcCircleTangentInternal",
     [](Sketch& s) {
         s.constrain(K::ArcCircleTangentInternal, {s.arc(0, 0, 1, 0, 0, 1, 1), s.circle(0, 2, 3)});
     },
     0},
    {"ArcRadius", [](Sketch& s) { s.constrain(K::ArcRadius, {s.arc(0, 0, 1, 0, 0, 1, 1)}, {1}); },
     0},
    {"ArcSweepAngle",
     [](Sketch& s) { s.constrain(K::ArcSweepAngle, {s.arc(0, 0, 1, 0, -1, 0, 1)}, {180}); }, 0},
    {"LineArcStartTangent",
     [](Sketch& s) {
         s.constrain(K::LineArcStartTangent, {s.line(1, 0, 1, 3), s.arc(0, 0, 1, 0, 0, 1, 1)});
     },
     0},
    {"LineArcEndTangent",
     [](Sketch& s) {
         s.constrain(K::LineArcEndTangent, {s.line(0, 1, -4, 1), s.arc(0, 0, 1, 0, 0, 1, 1)});
     },
     0},
    {"PointOnEllipse",
     [](Sketch& s) {
         s.constrain(K::PointOnEllipse, {s.point(0, 4), s.ellipse(0, 0, 3, 0, 4)});
     },
     0},
    {"EllipseTangentLine",
     [](Sketch& s) {
         s.constrain(K::EllipseTangentLine, {s.line(5, 0, 5, 1), s.ellipse(0, 0, 3, 0, 4)});
     },
     0},
    {"EqualMajorAxes",
     [](Sketch& s) {
         s.constrain(K::EqualMajorAxes, {s.ellipse(0, 0, 3, 0, 4), s.ellipse(0, 0, 0, 4, 3)});
     },
     0},
    {"EqualMinorAxes",
     [](Sketch& s) {
         s.constrain(K::EqualMinorAxes, {s.ellipse(0, 0, 3, 0, 4), s.ellipse(9, 0, 9, 1, 4)});
     },
     0},
    {"PointOnArcOfEllipse",
     [](Sketch& s) {
         s.constrain(K::PointOnArcOfEllipse,
                     {s.point(-5, 0), s.arc_of_ellipse(0, 0, 3, 0, 4, 100, -7, -30, 12)});
     },
     0},
    {"EllipseRadmin",
     [](Sketch& s) { s.constrain(K::EllipseRadmin, {s.ellipse(0, 0, 3, 0, 4)}, {4}); }, 0},
    {"C2CDistance",
     [](Sketch& s) {
         s.constrain(K::C2CDistance, {s.circle(0, 0, 1), s.circle(0, 7, 9)}, {7});
     },
     0},
    {"P2CDistance",
     [](Sketch& s) {
         s.constrain(K::P2CDistance, {s.point(5, 0), s.circle(0, 0, 1)}, {4});
     },
     0},
    {"ArcLength", [](Sketch& s) { s.constrain(K::ArcLength, {s.arc(0, 0, 2, 0, 0, 2, 2)}, {kPi}); },
     0},
    {"EqualLineLength",
     [](Sketch& s) {
         s.constrain(K::EqualLineLength, {s.line(0, 0, 0, 2), s.line(1, 1, 3, 1)});
     },
     0},
    {"EllipseFocusDistance",
     [](Sketch& s) { s.constrain(K::EllipseFocusDistance, {s.ellipse(0, 0, 3, 0, 4)}, {6}); }, 0},
};

// Sketches off by a gap known by construction (lengths already divided by kScale).
const ErrorCase kOff[] = {
    // Points and lines: distances and angles.
    {"point 0.25 off a slanted line",
     [](Sketch& s) {
         s.constrain(K::PointOnLine, {s.point(cx(30, 2) - cy(30, 0.25), cy(30, 2) + cx(30, 0.25)),
                                      s.line(0, 0, cx(30, 4), cy(30, 4))});
     },
     0.25 / kScale},
    {"point on a collapsed line",
     [](Sketch& s) {
         s.constrain(K::PointOnLine, {s.point(3, 4), s.line(0, 0, 0, 0)});
     },
     5 / kScale},
    {"lines 0.01 rad from parallel",
     [](Sketch& s) {
         s.constrain(K::Parallel, {s.line(0, 0, 10, 0),
                                   s.line(1, 1, 1 - cx(kSmallDeg, 3), 1 - cy(kSmallDeg, 3))});
     },
     kSmall},
    {"lines 0.01 rad from perpendicular",
     [](Sketch& s) {
         s.constrain(K::Perpendicular,
                     {s.line(0, 0, 0, 5), s.line(0, 0, cx(kSmallDeg), cy(kSmallDeg))});
     },
     kSmall},
    {"collapsed line is not parallel",
     [](Sketch& s) {
         s.constrain(K::Parallel, {s.line(0, 0, 0, 0), s.line(0, 0, 1, 0)});
     },
     kPi / 2},
    {"collapsed line is not perpendicular",
     [](Sketch& s) {
         s.constrain(K::Perpendicular, {s.line(0, 0, 1, 0), s.line(2, 2, 2, 2)});
     },
     kPi / 2},
    {"collapsed line meets no angle",
     [](Sketch& s) {
         s.constrain(K::Angle, {s.line(0, 0, 1, 0), s.line(2, 2, 2, 2)}, {30});
     },
     kPi / 2},
    {"angle 0.01 rad short of 60",
     [](Sketch& s) {
         s.constrain(K::Angle,
                     {s.line(0, 0, 2, 0), s.line(0, 0, cx(60 - kSmallDeg), cy(60 - kSmallDeg))},
                     {60});
     },
     kSmall},
    {"reversed line meets 120 as 60",
     [](Sketch& s) {
         s.constrain(K::Angle, {s.line(0, 0, 1, 0), s.line(0, 0, cx(60), cy(60))}, {120});
     },
     kPi / 3},
    {"0.06 degree angle off by 0.3 percent",
     [](Sketch& s) {
         s.constrain(K::Angle,
                     {s.line(0, 0, 1, 0), s.line(0, 0, cx(0.06 * 1.003), cy(0.06 * 1.003))},
                     {0.06});
     },
     0.06 * 0.003 * kPi / 180},
    {"vertex angle 0.01 rad wide",
     [](Sketch& s) {
         s.constrain(
             K::AngleBetweenPoints,
             {s.point(3, 0), s.point(0, 0), s.point(cx(45 + kSmallDeg), cy(45 + kSmallDeg))}, {45});
     },
     kSmall},
    {"distance 0.5 long",
     [](Sketch& s) {
         s.constrain(K::Distance, {s.point(0, 0), s.point(3, 4)}, {4.5});
     },
     0.5 / kScale},
    {"point 0.25 off its distance",
     [](Sketch& s) {
         s.constrain(K::PointLineDistance, {s.point(1, -2.25), s.line(0, 0, 4, 0)}, {2});
     },
     0.25 / kScale},
    {"coincident points 5 apart",
     [](Sketch& s) {
         s.constrain(K::Coincident, {s.point(0, 0), s.point(3, 4)});
     },
     5 / kScale},
    {"mirror image 1 off",
     [](Sketch& s) {
         s.constrain(K::Symmetry, {s.point(-1, 3), s.point(1, 2), s.line(0, 0, 0, 1)});
     },
     1 / kScale},
    {"parallel lines, point 0.5 off the second",
     [](Sketch& s) {
         s.constrain(K::LineLineIntersection,
                     {s.point(0, 0), s.line(-1, 0, 1, 0), s.line(-1, 0.5, 1, 0.5)});
     },
     0.5 / kScale},
    {"point 0.5 off the intersection",
     [](Sketch& s) {
         s.constrain(K::LineLineIntersection,
                     {s.point(1, 1.5), s.line(0, 0, 2, 2), s.line(0, 2, 2, 0)});
     },
     0.5 / kScale},
    // Circles and arcs: gaps against the radius.
    {"line 0.1 past a tiny circle",
     [](Sketch& s) {
         s.constrain(K::LineCircleTangent, {s.line(-1, 3e-4, 1, 3e-4), s.circle(0, 0, 1e-4)});
     },
     2e-4 / kScale},
    {"circles 0.3 apart",
     [](Sketch& s) {
         s.constrain(K::CircleCircleTangent, {s.circle(0, 0, 1), s.circle(3.3, 0, 2)});
     },
     0.3 / kScale},
    {"inner circle 0.2 off",
     [](Sketch& s) {
         s.constrain(K::CircleCircleTangentInternal, {s.circle(0, 0, 1), s.circle(0.8, 0, 2)});
     },
     0.2 / kScale},
    {"arc and circle 0.4 apart",
     [](Sketch& s) {
         s.constrain(K::ArcCircleTangent, {s.arc(0, 0, 1, 0, 0, 1, 1), s.circle(0, 4.4, 3)});
     },
     0.4 / kScale},
    {"line 0.5 inside an arc",
     [](Sketch& s) {
         s.constrain(K::LineArcTangent, {s.line(1.5, -5, 1.5, 5), s.arc(0, 0, 2, 0, 0, 2, 2)});
     },
     0.5 / kScale},
    {"collapsed line touches no circle",
     [](Sketch& s) {
         s.constrain(K::LineCircleTangent, {s.line(1, 0, 1, 0), s.circle(0, 0, 1)});
     },
     1 / kScale},
    {"point 0.25 outside a circle",
     [](Sketch& s) {
         s.constrain(K::PointOnCircle, {s.point(0, 5.25), s.circle(0, 0, 5)});
     },
     0.25 / kScale},
    {"radius 0.5 long",
     [](Sketch& s) { s.constrain(K::ArcRadius, {s.arc(0, 0, 1, 0, 0, 1, 1.5)}, {1}); },
     0.5 / kScale},
    {"sweep 0.01 rad past 90",
     [](Sketch& s) {
         s.constrain(K::ArcSweepAngle,
                     {s.arc(0, 0, 1, 0, cx(90 + kSmallDeg), cy(90 + kSmallDeg), 1)}, {90});
     },
     kSmall},
    {"line 0.01 rad off the start tangent",
     [](Sketch& s) {
         s.constrain(K::LineArcStartTangent,
                     {s.line(1, 0, 1 + cx(90 + kSmallDeg), cy(90 + kSmallDeg)),
                      s.arc(0, 0, 1, 0, 0, 1, 1)});
     },
     kSmall},
    {"concentric centres 5 apart",
     [](Sketch& s) {
         s.constrain(K::Concentric, {s.circle(0, 0, 1), s.circle(3, 4, 1)});
     },
     5 / kScale},
    // Ellipses: a point or line 0.5 beyond the major vertex.
    {"point 0.5 past the major vertex",
     [](Sketch& s) {
         s.constrain(K::PointOnEllipse, {s.point(5.5, 0), s.ellipse(0, 0, 3, 0, 4)});
     },
     0.5 / kScale},
    {"line 0.5 past the major vertex",
     [](Sketch& s) {
         s.constrain(K::EllipseTangentLine, {s.line(5.5, 0, 5.5, 1), s.ellipse(0, 0, 3, 0, 4)});
     },
     0.5 / kScale},
    {"foci 1 too far apart",
     [](Sketch& s) { s.constrain(K::EllipseFocusDistance, {s.ellipse(0, 0, 3, 0, 4)}, {5}); },
     1 / kScale},
};

class SatisfiedKinds : public ::testing::TestWithParam<ErrorCase> {};
class KnownGaps : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SatisfiedKinds, ReadZero) { EXPECT_NEAR(error_of(GetParam()), 0.0, 1e-15); }

TEST_P(KnownGaps, MatchTheConstruction) {
    EXPECT_NEAR(error_of(GetParam()), GetParam().expected, 1e-12 * (1 + GetParam().expected));
}

std::string case_name(const ::testing::TestParamInfo<ErrorCase>& info) {
    std::string name;
    for (const char ch : info.param.name)
        name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryKind, SatisfiedKinds, ::testing::ValuesIn(kSatisfied), case_name);
INSTANTIATE_TEST_SUITE_P(Families, KnownGaps, ::testing::ValuesIn(kOff), case_name);

TEST(GeometricError, CoversEveryKindAndPropagatesNaN) {
    std::set<K> kinds;
    for (const ErrorCase& c : kSatisfied) {
        Sketch sketch;
        c.build(sketch);
        kinds.insert(sketch.constraints.front().kind);
        sketch.points[0].x = std::numeric_limits<double>::quiet_NaN();
        sketch.points[0].y = std::numeric_limits<double>::quiet_NaN();
        if (!sketch.circles.empty()) sketch.circles[0].radius = std::nan("");
        if (!sketch.arcs.empty()) sketch.arcs[0].radius = std::nan("");
        if (!sketch.ellipses.empty()) sketch.ellipses[0].radmin = std::nan("");
        EXPECT_TRUE(std::isnan(geometric_error(sketch, sketch.constraints.front(), kScale)))
            << c.name;
    }
    EXPECT_EQ(kinds.size(), kConstraintKindCount);
}

}  // namespace
}  // namespace ovralis
