// The expression language's derivatives, every function and measure, and the
// constraint kinds' derivatives with respect to their real fields, against
// central differences; the parser's trees against hand-computed values.
#include <cmath>
#include <map>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "expression/bound_fields.hpp"
#include "expression/expression_evaluation.hpp"
#include "expression/expression_parser.hpp"
#include "expression/expression_text.hpp"
#include "residual/kind_operations.hpp"
#include "support/sketch_builder.hpp"
#include "system/design_intent_edits.hpp"
#include "system/errors.hpp"
#include "system/references.hpp"

namespace ovralis {
namespace {

using Key = std::tuple<int, Index>;

// Points 0..5, lines 0 (0-1) and 1 (2-3), circle 0, arc 0, variables a, b.
System measured_sketch() {
    Sketch sketch;
    sketch.line(0.3, -0.2, 2.1, 0.9);
    sketch.line(-1.0, 0.5, 0.4, 2.2);
    sketch.circle(1.5, 1.5, 0.8);
    sketch.arc(0.0, 0.0, 1.2, 0.0, 0.0, 1.2, 1.2);
    System system = sketch;
    add_variable(system, "a", 0.37, false);
    add_variable(system, "b", 1.9, true);
    return system;
}

double value_at(const Expression& e, System& system, Parameter p, double v) {
    const double saved = parameter_value(system, p);
    set_parameter_value(system, p, v);
    const double result = evaluate(e, system);
    set_parameter_value(system, p, saved);
    return result;
}

// Every parameter the sketch has: point coordinates, radii, variables.
std::vector<Parameter> every_parameter(const System& s) {
    std::vector<Parameter> out;
    for (Index i = 0; i < s.points.size(); ++i) {
        out.push_back({ParamKind::PointX, i});
        out.push_back({ParamKind::PointY, i});
    }
    for (Index i = 0; i < s.circles.size(); ++i) out.push_back({ParamKind::CircleRadius, i});
    for (Index i = 0; i < s.arcs.size(); ++i) out.push_back({ParamKind::ArcRadius, i});
    for (Index i = 0; i < s.design_variables.size(); ++i) {
        out.push_back({ParamKind::DesignVariable, i});
    }
    return out;
}

void expect_gradient_matches_differences(const std::string& text, double length_unit) {
    System system = measured_sketch();
    system.length_unit = length_unit;
    const Expression e = parse_expression(text, [&](std::string_view name) {
        return name == "a" ? std::optional<std::uint32_t>(0)
                           : name == "b" ? std::optional<std::uint32_t>(1) : std::nullopt;
    });
    std::vector<ExpressionPartial> partials;
    const double value = differentiate(e, system, 1.0, partials);
    EXPECT_DOUBLE_EQ(value, evaluate(e, system)) << text;
    std::map<Key, double> analytic;
    for (const ExpressionPartial& p : partials) {
        analytic[{static_cast<int>(p.parameter.kind), p.parameter.entity}] += p.value;
    }
    for (const Parameter p : every_parameter(system)) {
        const double x = parameter_value(system, p);
        const double h = 1e-6 * std::max(1.0, std::abs(x));
        const double difference =
            (value_at(e, system, p, x + h) - value_at(e, system, p, x - h)) / (2 * h);
        const double exact = analytic[{static_cast<int>(p.kind), p.entity}];
        EXPECT_NEAR(exact, difference, 1e-6 * std::max(1.0, std::abs(difference)))
            << text << " with respect to kind " << static_cast<int>(p.kind) << " entity "
            << p.entity;
    }
}

class ExpressionGradient : public testing::TestWithParam<const char*> {};

TEST_P(ExpressionGradient, MatchesCentralDifferencesInBothUnits) {
    expect_gradient_matches_differences(GetParam(), 1.0);
    expect_gradient_matches_differences(GetParam(), 3.5);
}

INSTANTIATE_TEST_SUITE_P(
    EveryFunctionAndMeasure, ExpressionGradient,
    testing::Values("a + b", "a - 2*b", "a * b * a", "b / a", "a ^ 3", "b ^ a", "2 ^ -a", "-a",
                    "sqrt(b + a)", "abs(a - 1)", "sin(40*a)", "cos(100*a)", "tan(30 + a)",
                    "asin(a)", "acos(a - 0.2)", "min(a, b*a)", "max(a, b - 1)",
                    "atan2(a, b - 3)", "pi * a", "distance(0, 3)", "length(1)", "radius(0)",
                    "arc_radius(0)", "angle(0, 1)", "angle(1, 0)", "x(2)", "y(5)",
                    "length(0) / length(1) + a * angle(0, 1)",
                    "sqrt(x(1)^2 + y(1)^2) - distance(0, 4)"));

// d(residual)/d(field) of every kind with a real field, against differences
// in that field.
TEST(FieldDerivative, EveryRealFieldMatchesCentralDifferences) {
    Sketch sketch;
    const Index l0 = sketch.line(0.3, -0.2, 2.1, 0.9);  // points 0, 1
    const Index l1 = sketch.line(-1.0, 0.5, 0.4, 2.2);  // points 2, 3
    const Index c0 = sketch.circle(1.5, 1.5, 0.8);     // point 4
    const Index c1 = sketch.circle(-1.5, 0.5, 0.4);    // point 5
    const Index a0 = sketch.arc(0.0, 0.0, 1.2, 0.1, 0.2, 1.2, 1.2);
    const Index e0 = sketch.ellipse(0.0, 3.0, 1.0, 3.2, 0.5);
    using K = ConstraintKind;
    const std::vector<Constraint> constraints{
        constraint(K::Distance, {0, 3}, {1.7}),
        constraint(K::Angle, {l0, l1}, {37.0}),
        constraint(K::FixedPoint, {2}, {0.4, -0.3}),
        constraint(K::AngleBetweenPoints, {0, 1, 3}, {61.0}),
        constraint(K::PointLineDistance, {4, l0}, {0.6}),
        constraint(K::CircleRadius, {c0}, {0.9}),
        constraint(K::PointOnLineAt, {5, l1}, {0.3}),
        constraint(K::ArcRadius, {a0}, {1.1}),
        constraint(K::ArcSweepAngle, {a0}, {75.0}),
        constraint(K::EllipseRadmin, {e0}, {0.45}),
        constraint(K::C2CDistance, {c0, c1}, {2.5}),
        constraint(K::P2CDistance, {0, c1}, {0.7}),
        constraint(K::ArcLength, {a0}, {2.0}),
        constraint(K::EllipseFocusDistance, {e0}, {1.3}),
    };
    System system = sketch;
    std::size_t checked = 0;
    for (Constraint c : constraints) {
        const KindInfo& info = kind_info(c.kind);
        const auto derivative = kind_operations(c.kind).field_derivative;
        ASSERT_NE(derivative, nullptr) << info.name;
        for (std::uint8_t f = 0; f < info.field_count; ++f) {
            if (info.fields[f].type != FieldType::Real) continue;
            const std::uint8_t slot = info.fields[f].slot;
            const ConstraintEntries exact = derivative(system, c, slot);
            const double v = c.value[slot];
            const double h = 1e-6 * std::max(1.0, std::abs(v));
            Constraint plus = c;
            Constraint minus = c;
            plus.value[slot] = v + h;
            minus.value[slot] = v - h;
            const ConstraintEntries up = constraint_residual(system, plus);
            const ConstraintEntries down = constraint_residual(system, minus);
            ASSERT_EQ(exact.count, up.count) << info.name;
            for (unsigned e = 0; e < up.count; ++e) {
                EXPECT_NEAR(exact.value[e], (up.value[e] - down.value[e]) / (2 * h), 1e-7)
                    << info.name << " field " << info.fields[f].name << " entry " << e;
            }
            ++checked;
        }
    }
    EXPECT_EQ(checked, 15u);
    // Every kind with a real field is among them.
    std::size_t kinds_with_reals = 0;
    for (std::size_t k = 0; k < kConstraintKindCount; ++k) {
        const KindInfo& info = kind_info(static_cast<ConstraintKind>(k));
        bool real = false;
        for (std::uint8_t f = 0; f < info.field_count; ++f) {
            real = real || info.fields[f].type == FieldType::Real;
        }
        kinds_with_reals += real ? 1 : 0;
        EXPECT_EQ(real, kind_operations(static_cast<ConstraintKind>(k)).field_derivative != nullptr)
            << info.name;
    }
    EXPECT_EQ(kinds_with_reals, constraints.size());
}

class ExpressionValue : public testing::TestWithParam<std::pair<const char*, double>> {};

TEST_P(ExpressionValue, FollowsPrecedenceAndReadsBack) {
    System system;
    const auto none = [](std::string_view) { return std::optional<std::uint32_t>(); };
    const Expression e = parse_expression(GetParam().first, none);
    EXPECT_DOUBLE_EQ(evaluate(e, system), GetParam().second) << GetParam().first;
    // The written text reads back to the same value.
    const Expression again = parse_expression(expression_text(e, {}), none);
    EXPECT_EQ(evaluate(again, system), evaluate(e, system)) << expression_text(e, {});
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, ExpressionValue,
    testing::Values(std::pair{"1 + 2 * 3", 7.0}, std::pair{"(1 + 2) * 3", 9.0},
                    std::pair{"2 ^ 3 ^ 2", 512.0}, std::pair{"-2 ^ 2", -4.0},
                    std::pair{"(-2) ^ 2", 4.0}, std::pair{"2 ^ -1", 0.5},
                    std::pair{"8 / 4 / 2", 1.0}, std::pair{"8 - 4 - 2", 2.0},
                    std::pair{"1.5e3 + .5", 1500.5}, std::pair{"2E-2", 0.02},
                    std::pair{"--3", 3.0}, std::pair{"sin(30)", 0.5},
                    std::pair{"atan2(1, 1)", 45.0}, std::pair{"acos(0)", 90.0},
                    std::pair{"max(2, min(5, 3))", 3.0}, std::pair{"abs(-4) * pi / pi", 4.0},
                    std::pair{"2 * (3 - (4 - 5))", 8.0}));

TEST(ExpressionValue, DomainErrorsGiveNaNOrInfinityWithoutThrowing) {
    System system;
    const auto none = [](std::string_view) { return std::optional<std::uint32_t>(); };
    EXPECT_TRUE(std::isinf(evaluate(parse_expression("1 / 0", none), system)));
    EXPECT_TRUE(std::isnan(evaluate(parse_expression("sqrt(-1)", none), system)));
    EXPECT_TRUE(std::isnan(evaluate(parse_expression("asin(2)", none), system)));
}

}  // namespace
}  // namespace ovralis
