#include <cctype>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "system/system.hpp"
#include "validation/geometry_checks.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using Cat = WarningCategory;

struct Expected {
    Cat category;
    Index entity;
    std::string message;
};

struct GeometryCase {
    std::string name;
    std::function<System()> build;
    std::vector<Expected> warnings;
};

std::ostream& operator<<(std::ostream& os, const GeometryCase& c) { return os << c.name; }

System circle(double radius) { return Sketch{.points = {{0, 0}}, .circles = {{0, radius}}}; }

// Centre at the origin, start on the x axis at `start_distance`, end on the y axis.
System arc(double radius, double start_distance, double end_distance) {
    return Sketch{.points = {{0, 0}, {start_distance, 0}, {0, end_distance}},
                  .arcs = {{0, 1, 2, radius}}};
}

// Centre at the origin, focus on the x axis.
System ellipse(double focus_distance, double radmin) {
    return Sketch{.points = {{0, 0}, {focus_distance, 0}}, .ellipses = {{0, 1, radmin}}};
}

System line_of_length(double length) {
    return Sketch{.points = {{1, 1}, {1 + length, 1}}, .lines = {{0, 1}}};
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::vector<GeometryCase> kCases = {
    {"EmptyStore", [] { return System{}; }, {}},

    // Pass 1: circle radii.
    {"CircleRadiusZero",
     [] { return circle(0.0); },
     {{Cat::NonPositiveSize, 0, "Circle 0 has non-positive radius (0.000000)"}}},
    {"CircleRadiusNegative",
     [] { return circle(-2.5); },
     {{Cat::NonPositiveSize, 0, "Circle 0 has non-positive radius (-2.500000)"}}},
    {"CircleRadiusTinyPositive", [] { return circle(1e-300); }, {}},
    {"CircleRadiusNaN", [] { return circle(kNaN); }, {}},
    {"SecondCircleNamesItsIndex",
     [] {
         System s = circle(1.0);
         s.circles.push_back({0, -1.0});
         return s;
     },
     {{Cat::NonPositiveSize, 1, "Circle 1 has non-positive radius (-1.000000)"}}},

    // Pass 2 and pass 6 together: a zero radius is also measured against the points
    // with the floor tolerance 1e-8.
    {"ArcRadiusZeroAlsoOffItsPoints",
     [] { return arc(0.0, 1.0, 1.0); },
     {{Cat::NonPositiveSize, 0, "Arc 0 has non-positive radius (0.000000)"},
      {Cat::ArcInconsistent, 0,
       "Arc 0 start point (point 1) is not on the arc radius (distance=1.000000, "
       "radius=0.000000)"},
      {Cat::ArcInconsistent, 0,
       "Arc 0 end point (point 2) is not on the arc radius (distance=1.000000, "
       "radius=0.000000)"}}},

    // Pass 3 alone: the focus is well away from the centre and radmin below it.
    {"EllipseRadminZero",
     [] { return ellipse(3.0, 0.0); },
     {{Cat::NonPositiveSize, 0, "Ellipse 0 has non-positive radmin (0.000000)"}}},

    // Pass 4: arcs of ellipse get only the radmin test.
    {"ArcOfEllipseRadminNegative",
     [] {
         System s = Sketch{.points = {{0, 0}, {0, 0}, {0, 0}, {0, 0}}};
         s.arcs_of_ellipse = {{0, 1, 5.0, 2, 3}, {0, 1, -1.0, 2, 3}};
         return s;
     },
     {{Cat::NonPositiveSize, 1, "ArcOfEllipse 1 has non-positive radmin (-1.000000)"}}},

    // Pass 5: squared length against 1e-20.
    {"LineOf1e-11Warns",
     [] { return line_of_length(1e-11); },
     {{Cat::ZeroLengthLine, 0, "Line 0 has zero length (points 0 and 1 coincide)"}}},
    {"LineOf1e-9DoesNot", [] { return line_of_length(1e-9); }, {}},
    {"LineNamesItsPoints",
     [] {
         System s = Sketch{.points = {{0, 0}, {2, 2}, {0, 0}}};
         s.lines = {{0, 1}, {2, 0}};
         return s;
     },
     {{Cat::ZeroLengthLine, 1, "Line 1 has zero length (points 2 and 0 coincide)"}}},

    // Pass 6: tolerance max(r, 1) * 1e-8, so 5e-8 at radius 5 and 1e-8 below radius 1.
    {"ArcOnItsRadius", [] { return arc(5.0, 5.0, 5.0); }, {}},
    {"ArcStartWithinTolerance", [] { return arc(5.0, 5.0 + 4e-8, 5.0); }, {}},
    {"ArcStartJustOutsideTolerance",
     [] { return arc(5.0, 5.0 + 6e-8, 5.0); },
     {{Cat::ArcInconsistent, 0,
       "Arc 0 start point (point 1) is not on the arc radius (distance=5.000000, "
       "radius=5.000000)"}}},
    {"ArcStartOffRadiusOnly",
     [] { return arc(5.0, 5.00001, 5.0); },
     {{Cat::ArcInconsistent, 0,
       "Arc 0 start point (point 1) is not on the arc radius (distance=5.000010, "
       "radius=5.000000)"}}},
    {"SmallArcUsesAbsoluteFloor",
     [] { return arc(0.5, 0.5 + 2e-8, 0.5 + 0.5e-8); },
     {{Cat::ArcInconsistent, 0,
       "Arc 0 start point (point 1) is not on the arc radius (distance=0.500000, "
       "radius=0.500000)"}}},
    {"ArcBothPointsOffRadius",
     [] { return arc(2.0, 3.0, 1.0); },
     {{Cat::ArcInconsistent, 0,
       "Arc 0 start point (point 1) is not on the arc radius (distance=3.000000, "
       "radius=2.000000)"},
      {Cat::ArcInconsistent, 0,
       "Arc 0 end point (point 2) is not on the arc radius (distance=1.000000, "
       "radius=2.000000)"}}},
    {"ArcStartOnCentreHidesEverythingElse",
     [] { return arc(2.0, 1e-9, 7.0); },
     {{Cat::ArcInconsistent, 0, "Arc 0 start point (point 1) coincides with center (point 0)"}}},
    {"ArcEndOnCentre",
     [] { return arc(2.0, 2.0, 0.0); },
     {{Cat::ArcInconsistent, 0, "Arc 0 end point (point 2) coincides with center (point 0)"}}},
    {"ArcRadiusNaNMeasuresNothing", [] { return arc(kNaN, 1.0, 3.0); }, {}},

    // Pass 7: at most one finding per ellipse.
    {"EllipseFocusOnCentre",
     [] { return ellipse(1e-9, 2.0); },
     {{Cat::EllipseInconsistent, 0,
       "Ellipse 0 focus (point 1) coincides with center (point 0): semi-major axis a ≈ 0, "
       "degenerate"}}},
    {"EllipseAxisEqualsRadmin",
     [] { return ellipse(3.0, 3.0); },
     {{Cat::EllipseInconsistent, 0,
       "Ellipse 0 semi-major axis (3.000000) equals radmin (3.000000): degenerate (circular, "
       "not elliptical)"}}},
    {"EllipseAxisEqualsRadminWithinRelativeTolerance",
     [] { return ellipse(3.0, 3.0 + 2e-8); },
     {{Cat::EllipseInconsistent, 0,
       "Ellipse 0 semi-major axis (3.000000) equals radmin (3.000000): degenerate (circular, "
       "not elliptical)"}}},
    {"EllipseRadminAboveAxis",
     [] { return ellipse(3.0, 4.0); },
     {{Cat::EllipseInconsistent, 0,
       "Ellipse 0 radmin (4.000000) > semi-major axis (3.000000): invalid (would require "
       "imaginary focal distance)"}}},
    {"EllipseWellFormed", [] { return ellipse(3.0, 2.0); }, {}},

    // The passes run in a fixed order whatever order the entities were created in.
    {"PassOrder",
     [] {
         System s = Sketch{.points = {{0, 0}, {0, 0}, {2, 0}, {0, 3}}};
         s.lines = {{0, 1}};
         s.ellipses = {{0, 2, -1.0}};
         s.arcs = {{0, 2, 3, -1.0}};
         s.circles = {{0, 0.0}};
         s.arcs_of_ellipse = {{0, 2, 0.0, 2, 3}};
         return s;
     },
     {{Cat::NonPositiveSize, 0, "Circle 0 has non-positive radius (0.000000)"},
      {Cat::NonPositiveSize, 0, "Arc 0 has non-positive radius (-1.000000)"},
      {Cat::NonPositiveSize, 0, "Ellipse 0 has non-positive radmin (-1.000000)"},
      {Cat::NonPositiveSize, 0, "ArcOfEllipse 0 has non-positive radmin (0.000000)"},
      {Cat::ZeroLengthLine, 0, "Line 0 has zero length (points 0 and 1 coincide)"},
      {Cat::ArcInconsistent, 0,
       "Arc 0 start point (point 2) is not on the arc radius (distance=2.000000, "
       "radius=-1.000000)"},
      {Cat::ArcInconsistent, 0,
       "Arc 0 end point (point 3) is not on the arc radius (distance=3.000000, "
       "radius=-1.000000)"}}},
};

class GeometryChecks : public testing::TestWithParam<GeometryCase> {};

TEST_P(GeometryChecks, ReportsExactlyTheExpectedWarnings) {
    const GeometryCase& c = GetParam();
    const std::vector<GeometryWarning> warnings = check_geometry(c.build());
    ASSERT_EQ(warnings.size(), c.warnings.size());
    for (std::size_t i = 0; i < warnings.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(warnings[i].message, c.warnings[i].message);
        EXPECT_EQ(warnings[i].category, c.warnings[i].category);
        EXPECT_EQ(warnings[i].entity, c.warnings[i].entity);
    }
}

INSTANTIATE_TEST_SUITE_P(Passes, GeometryChecks, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<GeometryCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             }
                             return name;
                         });

}  // namespace
}  // namespace ovralis
