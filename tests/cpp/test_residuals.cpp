// Residual values against geometry worked out by hand, and the assembly of
// the full and reduced vectors.

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "residual/residual.hpp"
#include "system/store.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

constexpr double kPi = 3.141592653589793;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ResidualCase {
    std::string name;
    // Builds the entities and adds exactly one constraint.
    std::function<void(Sketch&)> build;
    std::vector<double> expected;
    double tolerance = 1e-12;
};

std::ostream& operator<<(std::ostream& os, const ResidualCase& c) { return os << c.name; }

// The ellipse centred at the origin with focus (3, 0) and minor radius 4: a = 5.
Index three_four_five(Sketch& s) { return s.ellipse(0, 0, 3, 0, 4); }

const std::vector<ResidualCase>& residual_cases() {
    static const std::vector<ResidualCase> cases = {
        // Points and lines.
        {"DistanceMet",
         [](Sketch& s) {
             s.constrain(K::Distance, {s.point(0, 0), s.point(3, 4)}, {5});
         },
         {0.0}},
        {"DistanceToItself",
         [](Sketch& s) {
             const Index p = s.point(2, 2);
             s.constrain(K::Distance, {p, p}, {5});
         },
         {-5.0}},
        {"Horizontal",
         [](Sketch& s) {
             s.constrain(K::Horizontal, {s.point(1, 2), s.point(5, 7)});
         },
         {-5.0}},
        {"Vertical",
         [](Sketch& s) {
             s.constrain(K::Vertical, {s.point(1, 2), s.point(5, 7)});
         },
         {-4.0}},
        {"Coincident",
         [](Sketch& s) {
             s.constrain(K::Coincident, {s.point(1, 2), s.point(5, 7)});
         },
         {-4.0, -5.0}},
        {"PointOnLineIsRawCross",
         [](Sketch& s) {
             s.constrain(K::PointOnLine, {s.point(1, 1), s.line(0, 0, 2, 0)});
         },
         {-2.0}},
        {"ParallelOfPerpendicularLines",
         [](Sketch& s) {
             s.constrain(K::Parallel, {s.line(0, 0, 2, 0), s.line(0, 0, 0, 3)});
         },
         {6.0}},
        {"PerpendicularMet",
         [](Sketch& s) {
             s.constrain(K::Perpendicular, {s.line(0, 0, 2, 0), s.line(0, 0, 0, 3)});
         },
         {0.0}},
        {"PerpendicularRawDot",
         [](Sketch& s) {
             s.constrain(K::Perpendicular, {s.line(1, 1, 3, 2), s.line(0, 0, 1, 3)});
         },
         {5.0}},
        {"AngleSixtyMet",
         [](Sketch& s) {
             s.constrain(K::Angle, {s.line(0, 0, 1, 0), s.line(0, 0, 1, std::sqrt(3.0))}, {60});
         },
         {0.0},
         1e-15},
        {"AngleOfReversedLineIsSupplement",
         [](Sketch& s) {
             s.constrain(K::Angle, {s.line(0, 0, 1, 0), s.line(1, std::sqrt(3.0), 0, 0)}, {120});
         },
         {0.0},
         1e-15},
        {"AngleAgainstZero",
         [](Sketch& s) {
             s.constrain(K::Angle, {s.line(0, 0, 1, 0), s.line(0, 0, 1, std::sqrt(3.0))}, {0});
         },
         {-0.5}},
        {"AngleWithPointLine",
         [](Sketch& s) {
             s.constrain(K::Angle, {s.line(1, 1, 1, 1), s.line(0, 0, 0, 3)}, {30});
         },
         {0.0},
         0.0},
        {"EqualLength",
         [](Sketch& s) {
             s.constrain(K::EqualLength, {s.line(0, 0, 3, 4), s.line(1, 1, 1, 3)});
         },
         {3.0}},
        {"EqualLineLength",
         [](Sketch& s) {
             s.constrain(K::EqualLineLength, {s.line(0, 0, 3, 4), s.line(1, 1, 1, 3)});
         },
         {3.0}},
        {"FixedPoint",
         [](Sketch& s) {
             s.constrain(K::FixedPoint, {s.point(2, 3)}, {1, 5});
         },
         {1.0, -2.0}},
        {"AngleBetweenPointsRightAngle",
         [](Sketch& s) {
             s.constrain(K::AngleBetweenPoints, {s.point(1, 0), s.point(0, 0), s.point(0, 1)},
                         {90});
         },
         {0.0},
         1e-15},
        {"AngleBetweenPointsAgainstZero",
         [](Sketch& s) {
             s.constrain(K::AngleBetweenPoints, {s.point(1, 0), s.point(0, 0), s.point(0, 1)}, {0});
         },
         {kPi / 2}},
        {"AngleBetweenPointsIsUnsigned",
         [](Sketch& s) {
             s.constrain(K::AngleBetweenPoints, {s.point(0, 1), s.point(0, 0), s.point(1, 0)},
                         {90});
         },
         {0.0},
         1e-15},
        {"AngleBetweenPointsStraight",
         [](Sketch& s) {
             s.constrain(K::AngleBetweenPoints, {s.point(-2, 0), s.point(0, 0), s.point(5, 0)},
                         {0});
         },
         {kPi}},
        {"AngleBetweenPointsCollapsedRay",
         [](Sketch& s) {
             const Index b = s.point(1, 1);
             s.constrain(K::AngleBetweenPoints, {b, b, s.point(0, 1)}, {45});
         },
         {0.0},
         0.0},
        {"AngleBetweenPointsNaNIsStraight",
         [](Sketch& s) {
             s.constrain(K::AngleBetweenPoints, {s.point(kNaN, 0), s.point(0, 0), s.point(0, 1)},
                         {0});
         },
         {kPi},
         0.0},
        {"Midpoint",
         [](Sketch& s) {
             s.constrain(K::Midpoint, {s.point(1, 1), s.point(0, 0), s.point(4, 2)});
         },
         {-1.0, 0.0}},
        {"SymmetryMirroredInAxis",
         [](Sketch& s) {
             s.constrain(K::Symmetry, {s.point(2, -3), s.point(2, 3), s.line(0, 0, 1, 0)});
         },
         {0.0, 0.0}},
        {"SymmetryOffMirror",
         [](Sketch& s) {
             s.constrain(K::Symmetry, {s.point(0, 0), s.point(2, 3), s.line(-1, 0, 7, 0)});
         },
         {-2.0, 3.0}},
        {"SymmetryInDiagonal",
         [](Sketch& s) {
             s.constrain(K::Symmetry, {s.point(0, 2), s.point(2, 0), s.line(0, 0, 1, 1)});
         },
         {0.0, 0.0}},
        {"SymmetryDegenerateLine",
         [](Sketch& s) {
             s.constrain(K::Symmetry, {s.point(5, 6), s.point(2, 3), s.line(1, 1, 1, 1)});
         },
         {3.0, 3.0}},
        {"PointLineDistanceSquared",
         [](Sketch& s) {
             s.constrain(K::PointLineDistance, {s.point(0, 3), s.line(0, 0, 4, 0)}, {2});
         },
         {5.0}},
        {"PointLineDistanceInfiniteLine",
         [](Sketch& s) {
             s.constrain(K::PointLineDistance, {s.point(10, -2), s.line(0, 0, 4, 0)}, {-2});
         },
         {0.0}},
        {"PointLineDistanceDegenerateLine",
         [](Sketch& s) {
             s.constrain(K::PointLineDistance, {s.point(4, 5), s.line(1, 1, 1, 1)}, {2});
         },
         {21.0}},
        {"LineLineIntersectionMet",
         [](Sketch& s) {
             s.constrain(K::LineLineIntersection,
                         {s.point(1, 1), s.line(0, 0, 2, 2), s.line(0, 2, 2, 0)});
         },
         {0.0, 0.0}},
        {"LineLineIntersectionOff",
         [](Sketch& s) {
             s.constrain(K::LineLineIntersection,
                         {s.point(3, 1), s.line(0, 0, 2, 2), s.line(0, 2, 2, 0)});
         },
         {2.0, 0.0}},
        {"LineLineIntersectionBeyondSegments",
         [](Sketch& s) {
             s.constrain(K::LineLineIntersection,
                         {s.point(5, 0), s.line(0, 0, 1, 0), s.line(5, 1, 5, 2)});
         },
         {0.0, 0.0}},
        {"LineLineIntersectionParallel",
         [](Sketch& s) {
             s.constrain(K::LineLineIntersection,
                         {s.point(0, 3), s.line(0, 0, 1, 0), s.line(0, 1, 1, 1)});
         },
         {-3.0, -2.0}},
        {"PointOnLineAtMiddle",
         [](Sketch& s) {
             s.constrain(K::PointOnLineAt, {s.point(2, 1), s.line(0, 0, 4, 2)}, {0.5});
         },
         {0.0, 0.0}},
        {"PointOnLineAtBeyondEnd",
         [](Sketch& s) {
             s.constrain(K::PointOnLineAt, {s.point(0, 0), s.line(0, 0, 4, 2)}, {2});
         },
         {-8.0, -4.0}},
        // Circles and arcs.
        {"PointOnCircle",
         [](Sketch& s) {
             s.constrain(K::PointOnCircle, {s.point(3, 4), s.circle(0, 0, 1)});
         },
         {4.0}},
        {"PointOnCircleAtCentre",
         [](Sketch& s) {
             s.constrain(K::PointOnCircle, {s.point(2, 2), s.circle(2, 2, 1.5)});
         },
         {-1.5}},
        {"LineCircleTangentMet",
         [](Sketch& s) {
             s.constrain(K::LineCircleTangent, {s.line(0, 1, 4, 1), s.circle(0, 0, 1)});
         },
         {0.0}},
        {"LineCircleTangentInfiniteLine",
         [](Sketch& s) {
             s.constrain(K::LineCircleTangent, {s.line(5, 1, 9, 1), s.circle(0, 0, 1)});
         },
         {0.0}},
        {"LineCircleTangentSquaredGap",
         [](Sketch& s) {
             s.constrain(K::LineCircleTangent, {s.line(0, 3, 1, 3), s.circle(0, 0, 1)});
         },
         {8.0}},
        {"LineCircleTangentPointLine",
         [](Sketch& s) {
             s.constrain(K::LineCircleTangent, {s.line(1, 1, 1, 1), s.circle(0, 0, 2)});
         },
         {-4.0}},
        {"CircleCircleTangentMet",
         [](Sketch& s) {
             s.constrain(K::CircleCircleTangent, {s.circle(0, 0, 1), s.circle(3, 0, 2)});
         },
         {0.0}},
        {"CircleCircleTangentApart",
         [](Sketch& s) {
             s.constrain(K::CircleCircleTangent, {s.circle(0, 0, 1), s.circle(0, 5, 2)});
         },
         {16.0}},
        {"CircleCircleTangentInternalMet",
         [](Sketch& s) {
             s.constrain(K::CircleCircleTangentInternal, {s.circle(0, 0, 1), s.circle(1, 0, 2)});
         },
         {0.0}},
        {"CircleCircleTangentInternalSwapped",
         [](Sketch& s) {
             s.constrain(K::CircleCircleTangentInternal, {s.circle(1, 0, 2), s.circle(0, 0, 1)});
         },
         {0.0}},
        {"EqualRadius",
         [](Sketch& s) {
             s.constrain(K::EqualRadius, {s.circle(0, 0, 1), s.circle(0, 0, 2.5)});
         },
         {-1.5}},
        {"Concentric",
         [](Sketch& s) {
             s.constrain(K::Concentric, {s.circle(1, 2, 1), s.circle(4, 6, 1)});
         },
         {-3.0, -4.0}},
        {"CircleRadius",
         [](Sketch& s) { s.constrain(K::CircleRadius, {s.circle(0, 0, 2)}, {3}); },
         {-1.0}},
        {"PointOnArcAnywhereOnCircle",
         [](Sketch& s) {
             s.constrain(K::PointOnArc, {s.point(0, -2), s.arc(0, 0, 2, 0, 0, 2, 2)});
         },
         {0.0}},
        {"PointOnArcOff",
         [](Sketch& s) {
             s.constrain(K::PointOnArc, {s.point(0, 3), s.arc(0, 0, 2, 0, 0, 2, 2)});
         },
         {1.0}},
        {"LineArcTangentMet",
         [](Sketch& s) {
             s.constrain(K::LineArcTangent, {s.line(-4, 1, 4, 1), s.arc(0, 0, 1, 0, 0, 1, 1)});
         },
         {0.0}},
        {"LineArcTangentPointLine",
         [](Sketch& s) {
             s.constrain(K::LineArcTangent, {s.line(2, 2, 2, 2), s.arc(0, 0, 1, 0, 0, 1, 3)});
         },
         {-9.0}},
        {"ArcArcTangentMet",
         [](Sketch& s) {
             s.constrain(K::ArcArcTangent,
                         {s.arc(0, 0, 1, 0, 0, 1, 1), s.arc(0, 3, 2, 3, 0, 5, 2)});
         },
         {0.0}},
        {"ArcArcTangentInternalMet",
         [](Sketch& s) {
             s.constrain(K::ArcArcTangentInternal,
                         {s.arc(0, 0, 3, 0, 0, 3, 3), s.arc(1, 0, 3, 0, 1, 2, 2)});
         },
         {0.0}},
        {"ArcCircleTangent",
         [](Sketch& s) {
             s.constrain(K::ArcCircleTangent, {s.arc(0, 0, 1, 0, 0, 1, 1), s.circle(4, 0, 1)});
         },
         {12.0}},
        {"ArcCircleTangentInternal",
         [](Sketch& s) {
             s.constrain(K::ArcCircleTangentInternal,
                         {s.arc(0, 0, 1, 0, 0, 1, 1), s.circle(4, 0, 1)});
         },
         {16.0}},
        {"ArcRadius",
         [](Sketch& s) { s.constrain(K::ArcRadius, {s.arc(0, 0, 1, 0, 0, 1, 2)}, {0.5}); },
         {1.5}},
        {"ArcSweepAngleQuarterMet",
         [](Sketch& s) { s.constrain(K::ArcSweepAngle, {s.arc(0, 0, 1, 0, 0, 1, 1)}, {90}); },
         {0.0},
         1e-15},
        {"ArcSweepAngleMetByOppositeSweep",
         [](Sketch& s) { s.constrain(K::ArcSweepAngle, {s.arc(0, 0, 1, 0, 0, 1, 1)}, {270}); },
         {0.0},
         1e-15},
        {"ArcSweepAngleAgainstZero",
         [](Sketch& s) { s.constrain(K::ArcSweepAngle, {s.arc(0, 0, 1, 0, 0, 1, 1)}, {0}); },
         {1.0}},
        {"ArcSweepAngleEighth",
         [](Sketch& s) { s.constrain(K::ArcSweepAngle, {s.arc(1, 1, 3, 1, 4, 4, 1)}, {0}); },
         {std::sqrt(0.5)}},
        {"ArcSweepAngleCollapsedStart",
         [](Sketch& s) { s.constrain(K::ArcSweepAngle, {s.arc(0, 0, 0, 0, 0, 1, 1)}, {30}); },
         {0.0},
         0.0},
        {"LineArcStartTangentMet",
         [](Sketch& s) {
             s.constrain(K::LineArcStartTangent, {s.line(3, 0, 3, 2), s.arc(0, 0, 3, 0, 0, 3, 3)});
         },
         {0.0}},
        {"LineArcStartTangentAlongRadius",
         [](Sketch& s) {
             s.constrain(K::LineArcStartTangent, {s.line(3, 0, 3, 2), s.arc(0, 0, 0, 3, -3, 0, 3)});
         },
         {6.0}},
        {"LineArcEndTangent",
         [](Sketch& s) {
             s.constrain(K::LineArcEndTangent, {s.line(0, 0, 1, 1), s.arc(0, 0, 3, 0, 0, 3, 3)});
         },
         {3.0}},
        {"C2CDistanceIgnoresRadii",
         [](Sketch& s) {
             s.constrain(K::C2CDistance, {s.circle(0, 0, 7), s.circle(3, 4, 9)}, {5});
         },
         {0.0}},
        {"P2CDistanceMet",
         [](Sketch& s) {
             s.constrain(K::P2CDistance, {s.point(5, 0), s.circle(0, 0, 1)}, {4});
         },
         {0.0}},
        {"P2CDistanceAtCentre",
         [](Sketch& s) {
             s.constrain(K::P2CDistance, {s.point(0, 0), s.circle(0, 0, 1)}, {4});
         },
         {-5.0}},
        {"ArcLengthClockwiseQuarterWraps",
         [](Sketch& s) { s.constrain(K::ArcLength, {s.arc(0, 0, 1, 0, 0, -1, 1)}, {0}); },
         {3 * kPi / 2}},
        {"ArcLengthUsesRadiusField",
         [](Sketch& s) { s.constrain(K::ArcLength, {s.arc(0, 0, 1, 0, 0, 1, 2)}, {1}); },
         {kPi - 1}},
        {"ArcLengthHalfTurn",
         [](Sketch& s) { s.constrain(K::ArcLength, {s.arc(2, 2, 3, 2, 1, 2, 1)}, {kPi}); },
         {0.0}},
        {"ArcLengthCollapsedStart",
         [](Sketch& s) { s.constrain(K::ArcLength, {s.arc(0, 0, 0, 0, 0, 1, 1)}, {2.5}); },
         {-2.5},
         0.0},
        // Ellipses.
        {"PointOnEllipseMajorVertex",
         [](Sketch& s) {
             s.constrain(K::PointOnEllipse, {s.point(5, 0), three_four_five(s)});
         },
         {0.0}},
        {"PointOnEllipseFarVertex",
         [](Sketch& s) {
             s.constrain(K::PointOnEllipse, {s.point(-5, 0), three_four_five(s)});
         },
         {0.0}},
        {"PointOnEllipseMinorVertex",
         [](Sketch& s) {
             s.constrain(K::PointOnEllipse, {s.point(0, -4), three_four_five(s)});
         },
         {0.0}},
        {"PointOnEllipseAtCentre",
         [](Sketch& s) {
             s.constrain(K::PointOnEllipse, {s.point(0, 0), three_four_five(s)});
         },
         {-4.0}},
        {"PointOnEllipseFocusAtCentreIsCircle",
         [](Sketch& s) {
             s.constrain(K::PointOnEllipse, {s.point(3, 4), s.ellipse(0, 0, 0, 0, 2)});
         },
         {6.0}},
        {"EllipseTangentLineAtMinorVertex",
         [](Sketch& s) {
             s.constrain(K::EllipseTangentLine, {s.line(0, 4, 1, 4), three_four_five(s)});
         },
         {0.0}},
        {"EllipseTangentLineAtMajorVertex",
         [](Sketch& s) {
             s.constrain(K::EllipseTangentLine, {s.line(5, 0, 5, 1), three_four_five(s)});
         },
         {0.0}},
        {"EllipseTangentLineThroughFoci",
         [](Sketch& s) {
             s.constrain(K::EllipseTangentLine, {s.line(-1, 0, 1, 0), three_four_five(s)});
         },
         {-4.0}},
        {"EllipseTangentLinePointLine",
         [](Sketch& s) {
             s.constrain(K::EllipseTangentLine, {s.line(7, 7, 7, 7), three_four_five(s)});
         },
         {-4.0}},
        {"EqualMajorAxesDifferentMinor",
         [](Sketch& s) {
             s.constrain(K::EqualMajorAxes, {three_four_five(s), s.ellipse(0, 0, 0, 4, 3)});
         },
         {0.0}},
        {"EqualMinorAxes",
         [](Sketch& s) {
             s.constrain(K::EqualMinorAxes, {three_four_five(s), s.ellipse(0, 0, 0, 4, 3)});
         },
         {1.0}},
        // The arcs' ends sit far off the ellipse: nothing may read them.
        {"PointOnArcOfEllipseIgnoresEnds",
         [](Sketch& s) {
             s.constrain(K::PointOnArcOfEllipse,
                         {s.point(0, 4), s.arc_of_ellipse(0, 0, 3, 0, 4, 100, -7, -30, 12)});
         },
         {0.0}},
        {"PointOnArcOfEllipseOff",
         [](Sketch& s) {
             s.constrain(K::PointOnArcOfEllipse,
                         {s.point(3, 0), s.arc_of_ellipse(0, 0, 3, 0, 4, 100, -7, -30, 12)});
         },
         {-4.0}},
        {"EllipseRadmin",
         [](Sketch& s) { s.constrain(K::EllipseRadmin, {three_four_five(s)}, {1}); },
         {3.0}},
        {"EllipseFocusDistance",
         [](Sketch& s) { s.constrain(K::EllipseFocusDistance, {three_four_five(s)}, {6}); },
         {0.0}},
    };
    return cases;
}

class ResidualValue : public ::testing::TestWithParam<ResidualCase> {};

TEST_P(ResidualValue, MatchesGeometry) {
    const ResidualCase& c = GetParam();
    Sketch sketch;
    c.build(sketch);
    ASSERT_EQ(sketch.constraints.size(), 1u);
    const ConstraintEntries entries = constraint_residual(sketch, sketch.constraints[0]);
    ASSERT_EQ(entries.count, c.expected.size());
    for (unsigned e = 0; e < entries.count; ++e) {
        EXPECT_NEAR(entries.value[e], c.expected[e], c.tolerance) << "entry " << e;
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, ResidualValue, ::testing::ValuesIn(residual_cases()),
                         [](const auto& info) { return info.param.name; });

TEST(ResidualValue, EveryKindHasACase) {
    std::array<bool, kConstraintKindCount> seen{};
    for (const ResidualCase& c : residual_cases()) {
        Sketch sketch;
        c.build(sketch);
        seen[static_cast<std::size_t>(sketch.constraints[0].kind)] = true;
    }
    for (std::size_t k = 0; k < kConstraintKindCount; ++k) {
        EXPECT_TRUE(seen[k]) << kind_info(static_cast<K>(k)).name;
    }
}

TEST(ResidualValue, EntryCountsFollowTheCatalogue) {
    for (const ResidualCase& c : residual_cases()) {
        Sketch sketch;
        c.build(sketch);
        const Constraint& constraint = sketch.constraints[0];
        EXPECT_EQ(constraint_residual(sketch, constraint).count, equation_count(constraint))
            << c.name;
    }
}

// Rounding of cos(pi/2) leaves a residue: the equation is not special-cased.
TEST(ResidualValue, RightAngleLeavesCosineResidue) {
    Sketch s;
    s.constrain(K::Angle, {s.line(0, 0, 2, 0), s.line(0, 0, 0, 3)}, {90});
    s.constrain(K::ArcSweepAngle, {s.arc(0, 0, 1, 0, 0, 1, 1)}, {90});
    const Eigen::VectorXd r = residual_vector(s, ResidualForm::Full);
    for (const double entry : r) {
        EXPECT_NE(entry, 0.0);
        EXPECT_LT(std::fabs(entry), 1e-16);
    }
}

TEST(ResidualValue, NaNPropagatesOutsideTheClamp) {
    Sketch s;
    s.constrain(K::Distance, {s.point(kNaN, 0), s.point(0, 0)}, {1});
    EXPECT_TRUE(std::isnan(constraint_residual(s, s.constraints[0]).value[0]));
}

// Midpoint and PointOnLineAt at t = 0.5 on the same two points agree.
TEST(ResidualValue, MidpointMatchesPointOnLineAtHalf) {
    Sketch s;
    const Index m = s.point(0.3, -1.7);
    const Index a = s.point(-2.25, 4.5);
    const Index b = s.point(7.125, 0.375);
    s.constrain(K::Midpoint, {m, a, b});
    s.constrain(K::PointOnLineAt, {m, s.line(a, b)}, {0.5});
    const Eigen::VectorXd r = residual_vector(s, ResidualForm::Full);
    ASSERT_EQ(r.size(), 4);
    EXPECT_NEAR(r[0], r[2], 1e-12);
    EXPECT_NEAR(r[1], r[3], 1e-12);
}

// A sketch holding one constraint of each eliminated kind between two others.
Sketch mixed_sketch() {
    Sketch s;
    const Index p0 = s.point(0, 0);
    const Index p1 = s.point(3, 4);
    const Index c0 = s.circle(1, 1, 1);
    const Index c1 = s.circle(2, 3, 2);
    const Index e0 = s.ellipse(0, 0, 3, 0, 4);
    const Index e1 = s.ellipse(0, 0, 0, 4, 3);
    s.constrain(K::Distance, {p0, p1}, {2});    // 3
    s.constrain(K::Horizontal, {p0, p1});       // -4
    s.constrain(K::Vertical, {p0, p1});         // -3
    s.constrain(K::Coincident, {p0, p1});       // -3, -4
    s.constrain(K::FixedPoint, {p1}, {1, 1});   // 2, 3
    s.constrain(K::EqualRadius, {c0, c1});      // -1
    s.constrain(K::Concentric, {c0, c1});       // -1, -2
    s.constrain(K::EqualMinorAxes, {e0, e1});   // 1
    s.constrain(K::CircleRadius, {c1}, {0.5});  // 1.5
    return s;
}

TEST(ResidualAssembly, FullFormKeepsEveryEntryInOrder) {
    const Sketch s = mixed_sketch();
    EXPECT_EQ(residual_size(s, ResidualForm::Full), 12);
    const Eigen::VectorXd r = residual_vector(s, ResidualForm::Full);
    const std::vector<double> expected{3, -4, -3, -3, -4, 2, 3, -1, -1, -2, 1, 1.5};
    ASSERT_EQ(r.size(), 12);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_DOUBLE_EQ(r[i], expected[i]) << i;
}

TEST(ResidualAssembly, ReducedFormSkipsEliminatedKinds) {
    const Sketch s = mixed_sketch();
    EXPECT_EQ(residual_size(s, ResidualForm::Reduced), 4);
    const Eigen::VectorXd r = residual_vector(s, ResidualForm::Reduced);
    ASSERT_EQ(r.size(), 4);
    EXPECT_DOUBLE_EQ(r[0], 3.0);
    EXPECT_DOUBLE_EQ(r[1], 2.0);
    EXPECT_DOUBLE_EQ(r[2], 3.0);
    EXPECT_DOUBLE_EQ(r[3], 1.5);
}

TEST(ResidualAssembly, OnlyEliminatedKindsGiveEmptyReducedVector) {
    Sketch s;
    s.constrain(K::Horizontal, {s.point(0, 1), s.point(0, 2)});
    s.constrain(K::Coincident, {s.point(0, 1), s.point(0, 2)});
    EXPECT_EQ(residual_vector(s, ResidualForm::Reduced).size(), 0);
    EXPECT_EQ(residual_vector(s, ResidualForm::Full).size(), 3);
    EXPECT_TRUE(has_eliminated_constraints(s));
    EXPECT_EQ(solver_residual_form(s), ResidualForm::Reduced);
}

TEST(ResidualAssembly, EmptyListGivesEmptyVectors) {
    Sketch s;
    s.point(1, 1);
    EXPECT_EQ(residual_vector(s, ResidualForm::Full).size(), 0);
    EXPECT_EQ(residual_vector(s, ResidualForm::Reduced).size(), 0);
    EXPECT_FALSE(has_eliminated_constraints(s));
    EXPECT_EQ(solver_residual_form(s), ResidualForm::Full);
}

TEST(ResidualAssembly, EvaluateReusesStorageOfTheRightSize) {
    const Sketch s = mixed_sketch();
    Eigen::VectorXd out(12);
    const double* storage = out.data();
    evaluate_residuals(s, ResidualForm::Full, out);
    EXPECT_EQ(out.data(), storage);
    EXPECT_DOUBLE_EQ(out[11], 1.5);
    Eigen::VectorXd wrong(2);
    evaluate_residuals(s, ResidualForm::Reduced, wrong);
    EXPECT_EQ(wrong.size(), 4);
}

TEST(ResidualSummary, LargestAbsoluteEntrySkipsNaN) {
    Eigen::VectorXd r(4);
    r << 1.0, kNaN, -3.5, 2.0;
    EXPECT_EQ(max_abs_residual(r), 3.5);
    Eigen::VectorXd only_nan(1);
    only_nan << kNaN;
    EXPECT_EQ(max_abs_residual(only_nan), 0.0);
    EXPECT_EQ(max_abs_residual(Eigen::VectorXd()), 0.0);
}

TEST(ResidualSummary, SumOfSquaresStartsFromNegativeZero) {
    const double empty = sum_of_squares(Eigen::VectorXd());
    EXPECT_EQ(empty, 0.0);
    EXPECT_TRUE(std::signbit(empty));
    Eigen::VectorXd r(3);
    r << 1.0, -2.0, 0.5;
    EXPECT_EQ(sum_of_squares(r), 5.25);
    Eigen::VectorXd zero(1);
    zero << 0.0;
    EXPECT_FALSE(std::signbit(sum_of_squares(zero)));
}

}  // namespace
}  // namespace ovralis
