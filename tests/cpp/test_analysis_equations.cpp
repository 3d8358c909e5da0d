// The analysis equations against central differences of quantities written
// here: the signed angle, the cross product of incidence, the coordinate
// differences of coincidence; at configurations where the solver's own
// derivative of the residual vanishes, and at ordinary angles.

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jacobian/constraint_derivatives.hpp"
#include "validation/analysis_equations.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

constexpr double kPi = 3.141592653589793;

double at_deg(double deg, double length, bool sine) {
    return length * (sine ? std::sin(deg * kPi / 180.0) : std::cos(deg * kPi / 180.0));
}

// The signed angle from u to v turned back by `deg`, in radians: near 0 at the
// configurations built, away from the cut of atan2, with the gradient of the
// signed angle from u to v.
double signed_angle(double ux, double uy, double vx, double vy, double deg) {
    const double c = std::cos(deg * kPi / 180.0);
    const double s = std::sin(deg * kPi / 180.0);
    const double wx = c * vx + s * vy;
    const double wy = -s * vx + c * vy;
    return std::atan2(ux * wy - uy * wx, ux * wx + uy * wy);
}

const Point& p(const System& s, Index i) { return s.points[i]; }

struct EquationCase {
    std::string name;
    std::function<void(Sketch&)> build;  // adds exactly one constraint
    // The equations the analysis should differentiate, each a function of the points.
    std::vector<std::function<double(const System&)>> equations;
    // Whether the solver's own derivative of the residual vanishes there.
    bool flat = true;
};

// Lines 0 and 1, or points 0, 1, 2 for a vertex angle; the second direction at `deg`.
EquationCase line_angle(double deg) {
    return {"Angle" + std::to_string(static_cast<int>(deg)),
            [deg](Sketch& s) {
                const Index a = s.line(0.5, -0.2, 3.0, 0.4);
                const double turn = std::atan2(0.6, 2.5) * 180.0 / kPi + deg;
                const Index b =
                    s.line(1.0, 2.0, 1.0 + at_deg(turn, 2.0, false), 2.0 + at_deg(turn, 2.0, true));
                s.constrain(K::Angle, {a, b}, {deg});
            },
            {[deg](const System& s) {
                return signed_angle(p(s, 1).x - p(s, 0).x, p(s, 1).y - p(s, 0).y,
                                    p(s, 3).x - p(s, 2).x, p(s, 3).y - p(s, 2).y, deg);
            }},
            deg == 0 || deg == 180};
}

EquationCase vertex_angle(double deg) {
    return {"AngleBetweenPoints" + std::to_string(static_cast<int>(deg)),
            [deg](Sketch& s) {
                const Index a = s.point(3.0, 1.0);
                const Index vertex = s.point(1.0, 0.5);
                const double turn = std::atan2(0.5, 2.0) * 180.0 / kPi + deg;
                const Index c =
                    s.point(1.0 + at_deg(turn, 1.5, false), 0.5 + at_deg(turn, 1.5, true));
                s.constrain(K::AngleBetweenPoints, {a, vertex, c}, {deg});
            },
            {[deg](const System& s) {
                return signed_angle(p(s, 0).x - p(s, 1).x, p(s, 0).y - p(s, 1).y,
                                    p(s, 2).x - p(s, 1).x, p(s, 2).y - p(s, 1).y, deg);
            }},
            deg == 0 || deg == 180};
}

const EquationCase kCases[] = {
    line_angle(0),
    line_angle(180),
    line_angle(65),
    vertex_angle(0),
    vertex_angle(180),
    vertex_angle(120),
    {"PointLineDistanceZero",
     [](Sketch& s) {
         s.constrain(K::PointLineDistance, {s.point(2.0, 1.0), s.line(0.0, 0.0, 4.0, 2.0)}, {0.0});
     },
     {[](const System& s) {
         return (p(s, 0).x - p(s, 1).x) * (p(s, 2).y - p(s, 1).y) -
                (p(s, 0).y - p(s, 1).y) * (p(s, 2).x - p(s, 1).x);
     }}},
    {"DistanceZero",
     [](Sketch& s) {
         s.constrain(K::Distance, {s.point(1.5, 2.5), s.point(1.5, 2.5)}, {0.0});
     },
     {[](const System& s) { return p(s, 0).x - p(s, 1).x; },
      [](const System& s) { return p(s, 0).y - p(s, 1).y; }}},
    {"C2CDistanceZero",
     [](Sketch& s) {
         s.constrain(K::C2CDistance, {s.circle(1.0, 1.0, 2.0), s.circle(1.0, 1.0, 3.0)}, {0.0});
     },
     {[](const System& s) { return p(s, 0).x - p(s, 1).x; },
      [](const System& s) { return p(s, 0).y - p(s, 1).y; }}},
};

class AnalysisEquations : public testing::TestWithParam<EquationCase> {};

double magnitude(const ConstraintPartials& partials) {
    double sum = 0.0;
    for (const Partial& partial : partials) sum += std::abs(partial.value);
    return sum;
}

TEST_P(AnalysisEquations, SolverDerivativeVanishesOnlyWhereExpected) {
    const EquationCase& c = GetParam();
    Sketch sketch;
    c.build(sketch);
    const System system = sketch;
    ConstraintPartials own;
    differentiate(system, system.constraints.front(), own);
    EXPECT_EQ(magnitude(own) < 1e-6, c.flat) << magnitude(own);
}

TEST_P(AnalysisEquations, MatchCentralDifferencesOfTheEquivalentEquations) {
    const EquationCase& c = GetParam();
    Sketch sketch;
    c.build(sketch);
    System system = sketch;
    ConstraintPartials partials;
    const unsigned rows = analysis_partials(system, system.constraints.front(), partials);
    ASSERT_EQ(rows, c.equations.size());
    for (unsigned row = 0; row < rows; ++row) {
        for (Index point = 0; point < system.points.size(); ++point) {
            for (const ParamKind kind : {ParamKind::PointX, ParamKind::PointY}) {
                double analytic = 0.0;
                for (const Partial& partial : partials) {
                    if (partial.entry == row && partial.parameter.kind == kind &&
                        partial.parameter.entity == point) {
                        analytic += partial.value;
                    }
                }
                double& coordinate =
                    kind == ParamKind::PointX ? system.points[point].x : system.points[point].y;
                const double h = 1e-6;
                const double saved = coordinate;
                coordinate = saved + h;
                const double plus = c.equations[row](system);
                coordinate = saved - h;
                const double minus = c.equations[row](system);
                coordinate = saved;
                EXPECT_NEAR(analytic, (plus - minus) / (2 * h), 1e-7)
                    << "row " << row << ", point " << point
                    << (kind == ParamKind::PointX ? " x" : " y");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, AnalysisEquations, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<EquationCase>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace ovralis
