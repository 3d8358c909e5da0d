// The variable layout: which parameters are unknowns, and that after every
// scatter each eliminated equality holds exactly while fixed values stay put.

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "system/errors.hpp"
#include "system/store.hpp"
#include "system/variable_layout.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;
using P = ParamKind;

Parameter X(Index i) { return {P::PointX, i}; }
Parameter Y(Index i) { return {P::PointY, i}; }
Parameter CR(Index i) { return {P::CircleRadius, i}; }
Parameter AR(Index i) { return {P::ArcRadius, i}; }
Parameter ER(Index i) { return {P::EllipseRadmin, i}; }
Parameter AER(Index i) { return {P::ArcOfEllipseRadmin, i}; }

Index add_ellipse(System& s, Index center, Index focus, double b, bool fixed) {
    s.ellipses.push_back(Ellipse{center, focus, b, fixed});
    return s.ellipses.size() - 1;
}

// Reads a parameter straight from the records, independently of the layout code.
double read(const System& s, Parameter p) {
    switch (p.kind) {
        case P::PointX: return s.points[p.entity].x;
        case P::PointY: return s.points[p.entity].y;
        case P::CircleRadius: return s.circles[p.entity].radius;
        case P::ArcRadius: return s.arcs[p.entity].radius;
        case P::EllipseRadmin: return s.ellipses[p.entity].radmin;
        case P::ArcOfEllipseRadmin: return s.arcs_of_ellipse[p.entity].radmin;
        case P::DesignVariable: return s.design_variables[p.entity].value;
    }
    return 0.0;
}

// The pairs each eliminated constraint equates, as (first-named, second-named).
std::vector<std::pair<Parameter, Parameter>> equalities(const System& s) {
    std::vector<std::pair<Parameter, Parameter>> pairs;
    for (const Constraint& c : s.constraints) {
        const Index a = c.index[0];
        const Index b = c.index[1];
        switch (c.kind) {
            case K::Horizontal: pairs.push_back({Y(a), Y(b)}); break;
            case K::Vertical: pairs.push_back({X(a), X(b)}); break;
            case K::Coincident:
                pairs.push_back({X(a), X(b)});
                pairs.push_back({Y(a), Y(b)});
                break;
            case K::EqualRadius: pairs.push_back({CR(a), CR(b)}); break;
            case K::Concentric: {
                const Index ca = s.circles[a].center;
                const Index cb = s.circles[b].center;
                pairs.push_back({X(ca), X(cb)});
                pairs.push_back({Y(ca), Y(cb)});
                break;
            }
            case K::EqualMinorAxes: pairs.push_back({ER(a), ER(b)}); break;
            default: break;
        }
    }
    return pairs;
}

// Every parameter of a fixed entity, with its value now.
std::vector<std::pair<Parameter, double>> fixed_values(const System& s) {
    std::vector<std::pair<Parameter, double>> values;
    for (Index i = 0; i < s.points.size(); ++i) {
        if (!s.points[i].fixed) continue;
        values.push_back({X(i), s.points[i].x});
        values.push_back({Y(i), s.points[i].y});
    }
    for (Index i = 0; i < s.circles.size(); ++i) {
        if (s.circles[i].fixed) values.push_back({CR(i), s.circles[i].radius});
    }
    for (Index i = 0; i < s.ellipses.size(); ++i) {
        if (s.ellipses[i].fixed) values.push_back({ER(i), s.ellipses[i].radmin});
    }
    return values;
}

std::string describe(Parameter p) {
    static const char* names[] = {"x", "y", "circle r", "arc r", "ellipse b", "arc of ellipse b"};
    return std::string(names[static_cast<int>(p.kind)]) + " of " + std::to_string(p.entity);
}

struct LayoutCase {
    std::string name;
    std::function<void(System&)> build;
    std::vector<Parameter> variables;
    // Whether every eliminated equality can hold (false when fixed members disagree).
    bool consistent = true;
};

std::ostream& operator<<(std::ostream& os, const LayoutCase& c) { return os << c.name; }

// n points on a diagonal, all free unless listed in `fixed`.
void points(System& s, int n, std::vector<Index> fixed = {}) {
    for (int i = 0; i < n; ++i) add_point(s, 1.0 + i, 10.0 + 3 * i, false);
    for (Index i : fixed) s.points[i].fixed = true;
}

const std::vector<LayoutCase>& layout_cases() {
    static const std::vector<LayoutCase> cases = {
        {"NoConstraints", [](System& s) { points(s, 2, {0}); }, {X(1), Y(1)}},
        {"HorizontalFixedFirst",
         [](System& s) {
             points(s, 2, {0});
             add_constraint(s, constraint(K::Horizontal, {0, 1}));
         },
         {X(1)}},
        {"HorizontalFixedSecond",
         [](System& s) {
             points(s, 2, {1});
             add_constraint(s, constraint(K::Horizontal, {0, 1}));
         },
         {X(0)}},
        {"HorizontalBothFixed",
         [](System& s) {
             points(s, 2, {0, 1});
             add_constraint(s, constraint(K::Horizontal, {0, 1}));
         },
         {},
         false},
        {"HorizontalKeepsFirstNamed",
         [](System& s) {
             points(s, 3);
             add_constraint(s, constraint(K::Horizontal, {2, 1}));
         },
         {X(0), Y(0), X(1), X(2), Y(2)}},
        {"VerticalFree",
         [](System& s) {
             points(s, 2);
             add_constraint(s, constraint(K::Vertical, {0, 1}));
         },
         {X(0), Y(0), Y(1)}},
        {"ForwardChain",
         [](System& s) {
             points(s, 3);
             add_constraint(s, constraint(K::Coincident, {0, 1}));
             add_constraint(s, constraint(K::Coincident, {1, 2}));
         },
         {X(0), Y(0)}},
        {"ReversedChain",
         [](System& s) {
             points(s, 3);
             add_constraint(s, constraint(K::Coincident, {1, 2}));
             add_constraint(s, constraint(K::Coincident, {0, 1}));
         },
         {X(0), Y(0)}},
        {"LongReversedVerticalChain",
         [](System& s) {
             points(s, 5);
             for (Index i = 4; i > 0; --i) add_constraint(s, constraint(K::Vertical, {i - 1, i}));
         },
         {X(0), Y(0), Y(1), Y(2), Y(3), Y(4)}},
        {"OverlapOnSecondNamed",
         [](System& s) {
             points(s, 3);
             add_constraint(s, constraint(K::Horizontal, {0, 1}));
             add_constraint(s, constraint(K::Horizontal, {2, 1}));
         },
         {X(0), X(1), X(2), Y(2)}},
        {"StarFromFirstNamed",
         [](System& s) {
             points(s, 3);
             add_constraint(s, constraint(K::Horizontal, {0, 1}));
             add_constraint(s, constraint(K::Horizontal, {0, 2}));
         },
         {X(0), Y(0), X(1), X(2)}},
        {"CycleOfEqualities",
         [](System& s) {
             points(s, 3);
             add_constraint(s, constraint(K::Vertical, {0, 1}));
             add_constraint(s, constraint(K::Vertical, {1, 2}));
             add_constraint(s, constraint(K::Vertical, {2, 0}));
         },
         {X(0), Y(0), Y(1), Y(2)}},
        {"ChainFixedAtStart",
         [](System& s) {
             points(s, 3, {0});
             add_constraint(s, constraint(K::Coincident, {0, 1}));
             add_constraint(s, constraint(K::Coincident, {1, 2}));
         },
         {}},
        {"ChainFixedInMiddle",
         [](System& s) {
             points(s, 4, {1});
             add_constraint(s, constraint(K::Horizontal, {0, 1}));
             add_constraint(s, constraint(K::Horizontal, {1, 2}));
         },
         {X(0), X(2), X(3), Y(3)}},
        {"ReversedChainFixedAtEnd",
         [](System& s) {
             points(s, 3, {2});
             add_constraint(s, constraint(K::Vertical, {1, 2}));
             add_constraint(s, constraint(K::Vertical, {0, 1}));
         },
         {Y(0), Y(1)}},
        {"FixedMembersDisagree",
         [](System& s) {
             points(s, 3, {0, 2});
             add_constraint(s, constraint(K::Horizontal, {0, 1}));
             add_constraint(s, constraint(K::Horizontal, {1, 2}));
         },
         {X(1)},
         false},
        {"CoincidentFixedSecond",
         [](System& s) {
             points(s, 2, {1});
             add_constraint(s, constraint(K::Coincident, {0, 1}));
         },
         {}},
        {"CoincidentWithItself",
         [](System& s) {
             points(s, 1);
             add_constraint(s, constraint(K::Coincident, {0, 0}));
         },
         {X(0), Y(0)}},
        {"ConcentricFree",
         [](System& s) {
             points(s, 2);
             add_circle(s, 0, 1.0, false);
             add_circle(s, 1, 2.0, false);
             add_constraint(s, constraint(K::Concentric, {0, 1}));
         },
         {X(0), Y(0), CR(0), CR(1)}},
        {"ConcentricFixedSecondCentre",
         [](System& s) {
             points(s, 2, {1});
             add_circle(s, 0, 1.0, false);
             add_circle(s, 1, 2.0, false);
             add_constraint(s, constraint(K::Concentric, {0, 1}));
         },
         {CR(0), CR(1)}},
        {"FixedCircleKeepsFreeCentre",
         [](System& s) {
             points(s, 1);
             add_circle(s, 0, 1.0, true);
         },
         {X(0), Y(0)}},
        {"EqualRadiusFree",
         [](System& s) {
             points(s, 1, {0});
             add_circle(s, 0, 1.0, false);
             add_circle(s, 0, 2.0, false);
             add_constraint(s, constraint(K::EqualRadius, {0, 1}));
         },
         {CR(0)}},
        {"EqualRadiusFixedSecond",
         [](System& s) {
             points(s, 1, {0});
             add_circle(s, 0, 1.0, false);
             add_circle(s, 0, 2.0, true);
             add_constraint(s, constraint(K::EqualRadius, {0, 1}));
         },
         {}},
        {"EqualMinorAxesAndEveryKind",
         [](System& s) {
             points(s, 3, {0});
             add_circle(s, 0, 1.0, false);
             add_arc(s, 0, 1, 2, 1.0, false);
             add_arc(s, 0, 1, 2, 1.0, true);
             add_ellipse(s, 0, 1, 2.0, false);
             add_ellipse(s, 0, 2, 3.0, false);
             s.arcs_of_ellipse.push_back(ArcOfEllipse{0, 1, 1.0, 1, 2, false});
             add_constraint(s, constraint(K::EqualMinorAxes, {1, 0}));
         },
         {X(1), Y(1), X(2), Y(2), CR(0), AR(0), ER(1), AER(0)}},
        {"EqualMinorAxesFixedFirst",
         [](System& s) {
             points(s, 2, {0, 1});
             add_ellipse(s, 0, 1, 2.0, true);
             add_ellipse(s, 0, 1, 3.0, false);
             add_constraint(s, constraint(K::EqualMinorAxes, {0, 1}));
         },
         {}},
    };
    return cases;
}

class VariableLayoutCase : public ::testing::TestWithParam<LayoutCase> {
protected:
    void SetUp() override {
        GetParam().build(system);
        build_variables(system);
    }
    // Distinct positive values (radii stay above the clamp), none equal to
    // anything in the sketch.
    Eigen::VectorXd trial_vector(double offset) const {
        const auto n = static_cast<Eigen::Index>(system.layout.variables.size());
        Eigen::VectorXd x(n);
        for (Eigen::Index i = 0; i < n; ++i) x[i] = offset + 0.371 * static_cast<double>(i);
        return x;
    }
    System system;
};

TEST_P(VariableLayoutCase, VariableList) {
    const std::vector<Parameter>& expected = GetParam().variables;
    const std::vector<Parameter>& actual = system.layout.variables;
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i], expected[i]) << "position " << i << ": " << describe(actual[i]);
    }
}

TEST_P(VariableLayoutCase, ScatterMakesEveryEqualityHoldAndLeavesFixedValues) {
    const auto fixed_before = fixed_values(system);
    for (const double offset : {100.25, 7.5}) {
        const Eigen::VectorXd x = trial_vector(offset);
        scatter(system, x);
        for (std::size_t i = 0; i < system.layout.variables.size(); ++i) {
            EXPECT_EQ(read(system, system.layout.variables[i]), x[static_cast<Eigen::Index>(i)]);
        }
        for (const auto& [p, value] : fixed_before) {
            EXPECT_EQ(read(system, p), value) << describe(p) << " moved";
        }
        if (!GetParam().consistent) continue;
        for (const auto& [a, b] : equalities(system)) {
            EXPECT_EQ(read(system, a), read(system, b)) << describe(a) << " vs " << describe(b);
        }
        EXPECT_EQ(gather(system), x);
    }
}

// The Jacobian maps a parameter's derivative through column_of: both sides of
// an equality must share a column, and a held or fixed parameter has none.
TEST_P(VariableLayoutCase, EqualitiesShareColumns) {
    const auto& layout = system.layout;
    for (std::size_t i = 0; i < layout.variables.size(); ++i) {
        EXPECT_EQ(column_of(layout, layout.variables[i]), static_cast<Eigen::Index>(i));
    }
    for (const auto& [p, value] : fixed_values(system)) {
        EXPECT_FALSE(column_of(layout, p).has_value()) << describe(p);
    }
    for (const auto& [a, b] : equalities(system)) {
        EXPECT_EQ(column_of(layout, a), column_of(layout, b))
            << describe(a) << " vs " << describe(b);
    }
}

TEST_P(VariableLayoutCase, CopiesNeverWriteFixedValues) {
    for (const auto& [member, source] : system.layout.copies) {
        for (const auto& [p, value] : fixed_values(system)) EXPECT_NE(member, p);
        EXPECT_NE(member, source);
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, VariableLayoutCase, ::testing::ValuesIn(layout_cases()),
                         [](const auto& info) { return info.param.name; });

TEST(VariableLayout, PropagationAloneSetsHeldValues) {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 3.0, 5.0, false);
    add_constraint(s, constraint(K::Horizontal, {0, 1}));
    build_variables(s);
    propagate(s);
    EXPECT_EQ(s.points[1].y, 0.0);
    EXPECT_EQ(s.points[1].x, 3.0);
}

TEST(VariableLayout, FreeMemberTakesFirstFixedValueWhenFixedMembersDisagree) {
    System s;
    add_point(s, 0.0, 3.0, true);
    add_point(s, 0.0, 5.0, false);
    add_point(s, 0.0, 9.0, true);
    add_constraint(s, constraint(K::Horizontal, {2, 1}));
    add_constraint(s, constraint(K::Horizontal, {1, 0}));
    build_variables(s);
    propagate(s);
    EXPECT_EQ(s.points[1].y, 3.0);
    EXPECT_EQ(s.points[0].y, 3.0);
    EXPECT_EQ(s.points[2].y, 9.0);
}

TEST(VariableLayout, EmptyLayoutGathersNothingAndScatterOnlyPropagates) {
    System s;
    add_point(s, 1.0, 2.0, true);
    add_point(s, 7.0, 8.0, false);
    add_constraint(s, constraint(K::Coincident, {0, 1}));
    build_variables(s);
    EXPECT_EQ(gather(s).size(), 0);
    scatter(s, Eigen::VectorXd());
    EXPECT_EQ(s.points[1].x, 1.0);
    EXPECT_EQ(s.points[1].y, 2.0);
}

struct ClampCase {
    std::string name;
    bool clamp;
    double written;
    double expected_radius;
    double expected_coordinate;
};

std::ostream& operator<<(std::ostream& os, const ClampCase& c) { return os << c.name; }

class RadiusClamp : public ::testing::TestWithParam<ClampCase> {};

// One free point (x, y), one circle and one arc radius, and a second circle
// tied to the first: the tied radius must follow the clamped value.
TEST_P(RadiusClamp, AppliesToRadiiOnly) {
    const ClampCase& c = GetParam();
    System s;
    s.clamp_radii = c.clamp;
    add_point(s, 0.0, 0.0, false);
    add_circle(s, 0, 1.0, false);
    add_circle(s, 0, 2.0, false);
    add_arc(s, 0, 0, 0, 1.0, false);
    add_constraint(s, constraint(K::EqualRadius, {0, 1}));
    build_variables(s);
    ASSERT_EQ(s.layout.variables.size(), 4u);
    Eigen::VectorXd x(4);
    x << c.written, c.written, c.written, c.written;
    scatter(s, x);
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    EXPECT_TRUE(same(s.points[0].x, c.expected_coordinate));
    EXPECT_TRUE(same(s.points[0].y, c.expected_coordinate));
    EXPECT_TRUE(same(s.circles[0].radius, c.expected_radius));
    EXPECT_TRUE(same(s.circles[1].radius, c.expected_radius));
    EXPECT_TRUE(same(s.arcs[0].radius, c.expected_radius));
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(Scatter, RadiusClamp,
                         ::testing::Values(ClampCase{"NegativeIsRaised", true, -0.5, 1e-10, -0.5},
                                           ClampCase{"ZeroIsRaised", true, 0.0, 1e-10, 0.0},
                                           ClampCase{"AboveMinimumKept", true, 0.25, 0.25, 0.25},
                                           ClampCase{"NaNWrittenAsNaN", true, kNaN, kNaN, kNaN},
                                           ClampCase{"ClampOff", false, -0.5, -0.5, -0.5}),
                         [](const auto& info) { return info.param.name; });

TEST(VariableLayout, ScatterIgnoresExtraEntriesAndRejectsShortVectors) {
    System s;
    add_point(s, 1.0, 2.0, false);
    build_variables(s);
    Eigen::VectorXd longer(3);
    longer << 4.0, 5.0, 6.0;
    scatter(s, longer);
    EXPECT_EQ(s.points[0].x, 4.0);
    EXPECT_EQ(s.points[0].y, 5.0);
    EXPECT_THROW(scatter(s, Eigen::VectorXd::Zero(1)), InternalError);
}

TEST(VariableLayout, StaleLayoutIsAnInternalError) {
    System s;
    add_point(s, 1.0, 2.0, false);
    add_point(s, 3.0, 4.0, false);
    build_variables(s);
    s.points.pop_back();
    EXPECT_THROW(gather(s), InternalError);
    EXPECT_THROW(scatter(s, Eigen::VectorXd::Zero(4)), InternalError);
    EXPECT_THROW(propagate(s), InternalError);
    EXPECT_THROW(column_of(s.layout, X(5)), InternalError);
}

TEST(VariableLayout, EntitiesAddedAfterTheBuildLeaveTheLayoutUsable) {
    System s;
    add_point(s, 1.0, 2.0, false);
    build_variables(s);
    add_point(s, 7.0, 8.0, false);
    scatter(s, Eigen::Vector2d(3.0, 4.0));
    EXPECT_EQ(gather(s), Eigen::Vector2d(3.0, 4.0));
    EXPECT_EQ(s.points[1].x, 7.0);
}

TEST(VariableLayout, RebuildReflectsNewFlags) {
    System s;
    add_point(s, 1.0, 2.0, false);
    build_variables(s);
    EXPECT_EQ(s.layout.variables.size(), 2u);
    s.points[0].fixed = true;
    build_variables(s);
    EXPECT_TRUE(s.layout.variables.empty());
    EXPECT_TRUE(s.layout.copies.empty());
}

// Every kind on entities 0, 1, 2 of their lists, all free and apart: exactly
// the kinds the catalogue marks eliminated remove unknowns, one per equation.
class KindSubstitution : public testing::TestWithParam<std::size_t> {};

TEST_P(KindSubstitution, RemovesOneUnknownPerEquationExactlyWhenEliminated) {
    System s;
    for (int i = 0; i < 6; ++i) add_point(s, i, 10.0 * i, false);
    for (Index i = 0; i < 3; ++i) {
        s.lines.push_back({2 * i, 2 * i + 1});
        s.circles.push_back({i, 1.0 + i, false});
        s.arcs.push_back({i, i + 1, i + 2, 1.0 + i, false});
        s.ellipses.push_back({i, i + 3, 0.5 + i, false});
        s.arcs_of_ellipse.push_back({i, i + 3, 0.5 + i, i + 1, i + 2, false});
    }
    build_variables(s);
    const std::size_t unconstrained = s.layout.variables.size();

    const auto kind = static_cast<ConstraintKind>(GetParam());
    s.constraints.push_back(constraint(kind, {0, 1, 2}, {1.0, 1.0}));
    build_variables(s);
    const KindInfo& info = kind_info(kind);
    const std::size_t removed = info.eliminated ? info.equations : 0;
    EXPECT_EQ(s.layout.variables.size(), unconstrained - removed) << info.name;
}

INSTANTIATE_TEST_SUITE_P(AllKinds, KindSubstitution,
                         testing::Range<std::size_t>(0, kConstraintKindCount),
                         [](const testing::TestParamInfo<std::size_t>& param) {
                             return std::string(
                                 kind_info(static_cast<ConstraintKind>(param.param)).name);
                         });

}  // namespace
}  // namespace ovralis
