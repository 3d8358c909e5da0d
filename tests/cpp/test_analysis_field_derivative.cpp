// A bound field's derivative in the constraint analysis against central
// differences of the kind's own residual: over the coordinates, the radii and
// the field, each analysed row must point along the residual entry's gradient
// (the analysis may take another equation, never another direction), on
// either side where an angle holds.

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "residual/residual.hpp"
#include "validation/analysis_equations.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

constexpr double kPi = 3.141592653589793;

struct FieldCase {
    std::string name;
    std::function<void(Sketch&)> build;  // adds exactly one constraint, where it holds
    unsigned slot = 0;
};

// Line 0 along (2.5, 0.6) and line 1 turned from it by `drawn` degrees; the
// constraint asks for `deg`.
FieldCase line_angle(std::string name, double deg, double drawn) {
    return {std::move(name), [deg, drawn](Sketch& s) {
                const double turn = std::atan2(0.6, 2.5) + drawn * kPi / 180.0;
                const Index a = s.line(0.5, -0.2, 3.0, 0.4);
                const Index b = s.line(1.0, 2.0, 1.0 + 2.0 * std::cos(turn), 2.0 + 2.0 * std::sin(turn));
                s.constrain(K::Angle, {a, b}, {deg});
            }};
}

// Rays from the vertex (point 1) to points 0 and 2, `drawn` degrees apart.
FieldCase vertex_angle(std::string name, double deg, double drawn) {
    return {std::move(name), [deg, drawn](Sketch& s) {
                const double turn = std::atan2(0.5, 2.0) + drawn * kPi / 180.0;
                const Index a = s.point(3.0, 1.0);
                const Index vertex = s.point(1.0, 0.5);
                const Index c = s.point(1.0 + 1.5 * std::cos(turn), 0.5 + 1.5 * std::sin(turn));
                s.constrain(K::AngleBetweenPoints, {a, vertex, c}, {deg});
            }};
}

const FieldCase kCases[] = {
    line_angle("AngleAbove", 65.0, 65.0),
    line_angle("AngleBelow", 65.0, -65.0),
    line_angle("NegativeAngleAbove", -65.0, 65.0),
    line_angle("NegativeAngleBelow", -65.0, -65.0),
    line_angle("ObtuseAngleBelow", 150.0, -150.0),
    vertex_angle("VertexAngleAbove", 120.0, 120.0),
    vertex_angle("VertexAngleBelow", 120.0, -120.0),
    {"Distance", [](Sketch& s) { s.constrain(K::Distance, {s.point(0, 0), s.point(3, 4)}, {5.0}); }},
    {"PointLineDistance",
     [](Sketch& s) {
         s.constrain(K::PointLineDistance, {s.point(1.0, 3.0), s.line(0.0, 1.0, 4.0, 1.0)}, {2.0});
     }},
    {"FixedPointY",
     [](Sketch& s) { s.constrain(K::FixedPoint, {s.point(1.5, -2.0)}, {1.5, -2.0}); }, 1},
    {"CircleRadius",
     [](Sketch& s) { s.constrain(K::CircleRadius, {s.circle(1.0, 2.0, 2.5)}, {2.5}); }},
};

// The coordinates of every point and the radius of every circle; the bound
// field comes after them in the vectors compared.
std::vector<Parameter> parameters_of(const System& s) {
    std::vector<Parameter> out;
    for (Index i = 0; i < s.points.size(); ++i) {
        out.push_back({ParamKind::PointX, i});
        out.push_back({ParamKind::PointY, i});
    }
    for (Index i = 0; i < s.circles.size(); ++i) out.push_back({ParamKind::CircleRadius, i});
    return out;
}

double& value_of(System& s, Parameter p) {
    if (p.kind == ParamKind::PointX) return s.points[p.entity].x;
    if (p.kind == ParamKind::PointY) return s.points[p.entity].y;
    return s.circles[p.entity].radius;
}

// The central difference of residual entry `row` along one number of the sketch.
double central_difference(System& s, double& number, unsigned row) {
    const double h = 1e-6;
    const double saved = number;
    number = saved + h;
    const double plus = constraint_residual(s, s.constraints.front()).value[row];
    number = saved - h;
    const double minus = constraint_residual(s, s.constraints.front()).value[row];
    number = saved;
    return (plus - minus) / (2 * h);
}

double cosine_between(const std::vector<double>& a, const std::vector<double>& b) {
    double ab = 0.0, aa = 0.0, bb = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

class AnalysisFieldDerivative : public testing::TestWithParam<FieldCase> {};

TEST_P(AnalysisFieldDerivative, RowsPointAlongTheResidualsGradientWithTheField) {
    const FieldCase& c = GetParam();
    Sketch sketch;
    c.build(sketch);
    System system = sketch;
    const Constraint& constraint = system.constraints.front();
    const std::vector<Parameter> parameters = parameters_of(system);
    ConstraintPartials partials;
    const unsigned rows = analysis_partials(system, constraint, partials);
    const std::optional<ConstraintEntries> field =
        analysis_field_derivative(system, constraint, c.slot);
    ASSERT_TRUE(field.has_value());
    ASSERT_EQ(rows, equation_count(constraint));
    for (unsigned row = 0; row < rows; ++row) {
        std::vector<double> analysed(parameters.size() + 1, 0.0);
        for (const Partial& partial : partials) {
            if (partial.entry != row) continue;
            for (std::size_t j = 0; j < parameters.size(); ++j) {
                if (parameters[j] == partial.parameter) analysed[j] += partial.value;
            }
        }
        analysed.back() = field->value[row];
        std::vector<double> gradient;
        for (const Parameter& p : parameters) {
            gradient.push_back(central_difference(system, value_of(system, p), row));
        }
        gradient.push_back(central_difference(system, system.constraints.front().value[c.slot], row));
        EXPECT_NEAR(std::abs(cosine_between(analysed, gradient)), 1.0, 1e-7) << "row " << row;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, AnalysisFieldDerivative, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FieldCase>& info) {
                             return info.param.name;
                         });

// A distance of 0 is analysed as a coincidence, which has no field.
TEST(AnalysisFieldDerivative, NoneForADistanceOfZero) {
    Sketch sketch;
    sketch.constrain(K::Distance, {sketch.point(1.0, 1.0), sketch.point(1.0, 1.0)}, {0.0});
    const System system = sketch;
    EXPECT_FALSE(analysis_field_derivative(system, system.constraints.front(), 0).has_value());
}

}  // namespace
}  // namespace ovralis
