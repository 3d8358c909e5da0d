#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "jacobian/constraint_derivatives.hpp"
#include "jacobian/jacobian.hpp"
#include "residual/residual.hpp"
#include "system/system.hpp"

namespace ovralis {
namespace {

// ---- Sketch building -----------------------------------------------------

double& value_of(System& s, Parameter p) {
    switch (p.kind) {
        case ParamKind::PointX: return s.points[p.entity].x;
        case ParamKind::PointY: return s.points[p.entity].y;
        case ParamKind::CircleRadius: return s.circles[p.entity].radius;
        case ParamKind::ArcRadius: return s.arcs[p.entity].radius;
        case ParamKind::EllipseRadmin: return s.ellipses[p.entity].radmin;
        case ParamKind::ArcOfEllipseRadmin: return s.arcs_of_ellipse[p.entity].radmin;
        case ParamKind::DesignVariable: return s.design_variables[p.entity].value;
    }
    throw std::logic_error("parameter kind");
}

// Every parameter of the store, in a fixed order.
std::vector<Parameter> all_parameters(const System& s) {
    std::vector<Parameter> out;
    for (Index i = 0; i < s.points.size(); ++i) {
        out.push_back({ParamKind::PointX, i});
        out.push_back({ParamKind::PointY, i});
    }
    for (Index i = 0; i < s.circles.size(); ++i) out.push_back({ParamKind::CircleRadius, i});
    for (Index i = 0; i < s.arcs.size(); ++i) out.push_back({ParamKind::ArcRadius, i});
    for (Index i = 0; i < s.ellipses.size(); ++i) out.push_back({ParamKind::EllipseRadmin, i});
    for (Index i = 0; i < s.arcs_of_ellipse.size(); ++i) {
        out.push_back({ParamKind::ArcOfEllipseRadmin, i});
    }
    return out;
}

// Free entities of every type at random positions: lines 0 = (0, 1) and
// 1 = (2, 3); circles about points 4 and 5; arcs (6; 7, 8) and (9; 10, 11);
// ellipses (12, 13) and (14, 15); an arc of ellipse (16, 17; 18, 19); points 20
// to 22 for the constraints' point fields.
System random_entities(std::mt19937& rng) {
    std::uniform_real_distribution<double> coordinate(-3.0, 3.0);
    std::uniform_real_distribution<double> radius(0.5, 2.0);
    System s;
    for (int i = 0; i < 23; ++i) s.points.push_back({coordinate(rng), coordinate(rng), false});
    s.lines = {{0, 1}, {2, 3}};
    s.circles = {{4, radius(rng), false}, {5, radius(rng), false}};
    s.arcs = {{6, 7, 8, radius(rng), false}, {9, 10, 11, radius(rng), false}};
    s.ellipses = {{12, 13, radius(rng), false}, {14, 15, radius(rng), false}};
    s.arcs_of_ellipse = {{16, 17, radius(rng), 18, 19, false}};
    return s;
}

// A constraint of `kind` over the entities of random_entities, fields filled
// in order (first point field -> point 20, first line -> line 0, ...).
Constraint constraint_of(ConstraintKind kind, std::mt19937& rng) {
    std::uniform_real_distribution<double> real(0.5, 3.0);
    std::uniform_real_distribution<double> degrees(20.0, 160.0);
    Constraint c{kind, {}, {}};
    const KindInfo& info = kind_info(kind);
    Index points = 20;
    Index others = 0;
    for (std::uint8_t f = 0; f < info.field_count; ++f) {
        const FieldSpec& field = info.fields[f];
        if (field.type == FieldType::Real) {
            c.value[field.slot] = field.name == "deg" ? degrees(rng) : real(rng);
        } else if (field.type == FieldType::Point) {
            c.index[field.slot] = points++;
        } else {
            c.index[field.slot] = others++;
        }
    }
    return c;
}

// An eliminated constraint alone takes no rows; a second constraint reading
// its second entity makes its equality show in the Jacobian.
std::vector<Constraint> witnesses_of(ConstraintKind kind) {
    using K = ConstraintKind;
    switch (kind) {
        case K::Horizontal:
        case K::Vertical:
        case K::Coincident: return {{K::Distance, {21, 22, 0}, {1.5, 0.0}}};
        case K::EqualRadius:
        case K::Concentric: return {{K::PointOnCircle, {22, 1, 0}, {}}};
        case K::EqualMinorAxes: return {{K::PointOnEllipse, {22, 1, 0}, {}}};
        default: return {};
    }
}

System sketch_for(ConstraintKind kind, std::mt19937& rng) {
    System s = random_entities(rng);
    s.constraints.push_back(constraint_of(kind, rng));
    for (const Constraint& w : witnesses_of(kind)) s.constraints.push_back(w);
    build_variables(s);
    scatter(s, gather(s));
    return s;
}

Eigen::MatrixXd densify(const std::vector<JacobianTriplet>& triplets, Eigen::Index rows,
                        Eigen::Index columns) {
    Eigen::MatrixXd out = Eigen::MatrixXd::Zero(rows, columns);
    for (const JacobianTriplet& t : triplets) out(t.row(), t.col()) += t.value();
    return out;
}

Eigen::Index solver_rows(const System& s) { return residual_size(s, solver_residual_form(s)); }

Eigen::Index column(const System& s, Parameter p) {
    const auto c = column_of(s.layout, p);
    if (!c) throw std::logic_error("parameter has no column");
    return *c;
}

// |a - b| within `relative` of the larger magnitude (and absolutely near zero).
void expect_close(const Eigen::MatrixXd& a, const Eigen::MatrixXd& b, double relative,
                  const std::string& what) {
    ASSERT_EQ(a.rows(), b.rows()) << what;
    ASSERT_EQ(a.cols(), b.cols()) << what;
    for (Eigen::Index i = 0; i < a.rows(); ++i) {
        for (Eigen::Index j = 0; j < a.cols(); ++j) {
            const double scale = std::max({1.0, std::abs(a(i, j)), std::abs(b(i, j))});
            EXPECT_NEAR(a(i, j), b(i, j), relative * scale)
                << what << " at (" << i << ", " << j << ")";
        }
    }
}

// ---- Every kind ------------------------------------------------------------

class EveryKind : public ::testing::TestWithParam<std::size_t> {
protected:
    ConstraintKind kind() const { return static_cast<ConstraintKind>(GetParam()); }
};

// The per-kind derivatives against central differences of the constraint's own
// residual, each parameter moved directly in the entity (no layout involved).
// This covers the eliminated kinds too, whose rows the producers leave out.
TEST_P(EveryKind, DerivativesMatchDifferencesOfTheResidual) {
    std::mt19937 rng(1000 + static_cast<unsigned>(GetParam()));
    for (int trial = 0; trial < 5; ++trial) {
        System s = random_entities(rng);
        const Constraint c = constraint_of(kind(), rng);
        const std::vector<Parameter> parameters = all_parameters(s);
        const unsigned entries = kind_info(kind()).equations;

        Eigen::MatrixXd analytic = Eigen::MatrixXd::Zero(entries, parameters.size());
        ConstraintPartials partials;
        differentiate(s, c, partials);
        for (const Partial& p : partials) {
            const auto at = std::find(parameters.begin(), parameters.end(), p.parameter);
            ASSERT_NE(at, parameters.end());
            ASSERT_LT(p.entry, entries);
            analytic(p.entry, at - parameters.begin()) += p.value;
        }

        const double h = 1e-5;
        Eigen::MatrixXd numeric(entries, parameters.size());
        for (std::size_t j = 0; j < parameters.size(); ++j) {
            double& value = value_of(s, parameters[j]);
            const double saved = value;
            value = saved + h;
            const ConstraintEntries plus = constraint_residual(s, c);
            value = saved - h;
            const ConstraintEntries minus = constraint_residual(s, c);
            value = saved;
            ASSERT_EQ(plus.count, entries);
            for (unsigned e = 0; e < entries; ++e) {
                numeric(e, j) = (plus.value[e] - minus.value[e]) / (2.0 * h);
            }
        }
        expect_close(analytic, numeric, 1e-6, std::string(kind_info(kind()).name));
    }
}

// The producers on a sketch of free entities: analytic dense against the
// test's own differences of the residual vector and against the
// central-difference producer; triplets against dense; the solver's compressed
// Jacobian against the dense producers in both modes.
TEST_P(EveryKind, ProducersAgree) {
    std::mt19937 rng(2000 + static_cast<unsigned>(GetParam()));
    for (int trial = 0; trial < 3; ++trial) {
        System s = sketch_for(kind(), rng);
        const std::string name(kind_info(kind()).name);
        const Eigen::VectorXd x = gather(s);
        const Eigen::Index rows = solver_rows(s);
        const Eigen::Index n = x.size();

        const Eigen::MatrixXd analytic = analytic_jacobian(s, rows);
        ASSERT_EQ(analytic.rows(), rows);
        ASSERT_EQ(analytic.cols(), n);

        const double h = 1e-6;
        Eigen::MatrixXd numeric(rows, n);
        for (Eigen::Index j = 0; j < n; ++j) {
            Eigen::VectorXd moved = x;
            moved[j] = x[j] + h;
            scatter(s, moved);
            const Eigen::VectorXd plus = residual_vector(s, solver_residual_form(s));
            moved[j] = x[j] - h;
            scatter(s, moved);
            const Eigen::VectorXd minus = residual_vector(s, solver_residual_form(s));
            numeric.col(j) = (plus - minus) / (2.0 * h);
        }
        scatter(s, x);
        expect_close(analytic, numeric, 1e-6, name + " analytic vs own differences");

        const Eigen::MatrixXd differences = central_difference_jacobian(s, x, rows);
        expect_close(analytic, differences, 1e-6, name + " analytic vs central differences");
        EXPECT_EQ(gather(s), x) << "store left at x";

        expect_close(densify(sparse_jacobian(s), rows, n), analytic, 1e-15, name + " triplets");

        s.analytic_jacobian = true;
        expect_close(Eigen::MatrixXd(solver_jacobian(s, x, rows)), analytic, 1e-15,
                     name + " solver analytic");
        s.analytic_jacobian = false;
        EXPECT_EQ(Eigen::MatrixXd(solver_jacobian(s, x, rows)), differences)
            << name << " solver central differences";
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, EveryKind,
                         ::testing::Range<std::size_t>(0, kConstraintKindCount),
                         [](const auto& info) {
                             return std::string(
                                 kind_info(static_cast<ConstraintKind>(info.param)).name);
                         });

// ---- Guarded configurations -----------------------------------------------

struct GuardCase {
    std::string name;
    ConstraintKind kind;
    std::array<Index, 3> index;
    std::array<double, 2> value;
    // Points to place (index -> coordinates) over the default layout.
    std::vector<std::pair<Index, std::pair<double, double>>> placed;
    // Nonzero row entries expected, all others zero.
    std::vector<std::pair<Parameter, double>> expected;
};

// Entities for the guard cases: points 0..7 at distinct default positions,
// line 0 = (0, 1), line 1 = (2, 3), circle 0 about 4, arc 0 (4; 5, 6),
// ellipses (4, 5) and (6, 7).
System guard_sketch(const GuardCase& g) {
    System s;
    for (int i = 0; i < 8; ++i) s.points.push_back({1.0 + i, 0.5 * i * i - 2.0, false});
    for (const auto& [p, at] : g.placed) s.points[p] = {at.first, at.second, false};
    s.lines = {{0, 1}, {2, 3}};
    s.circles = {{4, 2.0, false}};
    s.arcs = {{4, 5, 6, 2.0, false}};
    s.ellipses = {{4, 5, 4.0, false}, {6, 7, 4.0, false}};
    s.constraints.push_back({g.kind, g.index, g.value});
    build_variables(s);
    return s;
}

Parameter px(Index i) { return {ParamKind::PointX, i}; }
Parameter py(Index i) { return {ParamKind::PointY, i}; }

class GuardedRows : public ::testing::TestWithParam<GuardCase> {};

TEST_P(GuardedRows, GiveTheStatedRow) {
    const GuardCase& g = GetParam();
    System s = guard_sketch(g);
    ASSERT_EQ(solver_rows(s), 1);
    const Eigen::MatrixXd j = analytic_jacobian(s, 1);
    Eigen::MatrixXd expected = Eigen::MatrixXd::Zero(1, j.cols());
    for (const auto& [p, v] : g.expected) expected(0, column(s, p)) += v;
    expect_close(j, expected, 1e-12, g.name);
    expect_close(densify(sparse_jacobian(s), 1, j.cols()), expected, 1e-12, g.name + " triplets");
}

using K = ConstraintKind;
const Parameter kCircleRadius{ParamKind::CircleRadius, 0};
const Parameter kArcRadius{ParamKind::ArcRadius, 0};

INSTANTIATE_TEST_SUITE_P(
    Table, GuardedRows,
    ::testing::Values(
        GuardCase{"DistanceToItself", K::Distance, {0, 0, 0}, {5.0, 0}, {}, {}},
        GuardCase{
            "DistanceCoincidentPoints", K::Distance, {0, 1, 0}, {5.0, 0}, {{1, {1.0, -2.0}}}, {}},
        GuardCase{"C2CDistanceSharedCentre", K::C2CDistance, {0, 0, 0}, {1.0, 0}, {}, {}},
        // Point 4, the centre, sits at (5, 6).
        GuardCase{"PointOnCircleAtCentre",
                  K::PointOnCircle,
                  {7, 0, 0},
                  {},
                  {{7, {5.0, 6.0}}},
                  {{kCircleRadius, -1.0}}},
        GuardCase{"P2CDistanceAtCentre",
                  K::P2CDistance,
                  {7, 0, 0},
                  {1.0, 0},
                  {{7, {5.0, 6.0}}},
                  {{kCircleRadius, -1.0}}},
        GuardCase{"PointOnArcAtCentre",
                  K::PointOnArc,
                  {7, 0, 0},
                  {},
                  {{7, {5.0, 6.0}}},
                  {{kArcRadius, -1.0}}},
        GuardCase{"LineCircleTangentZeroLine",
                  K::LineCircleTangent,
                  {0, 0, 0},
                  {},
                  {{1, {1.0, -2.0}}},
                  {}},
        GuardCase{
            "LineArcTangentZeroLine", K::LineArcTangent, {0, 0, 0}, {}, {{1, {1.0, -2.0}}}, {}},
        GuardCase{"EqualLengthOneZeroLine",
                  K::EqualLength,
                  {0, 1, 0},
                  {},
                  {{1, {1.0, -2.0}}, {2, {0.0, 0.0}}, {3, {3.0, 4.0}}},
                  {{px(3), -0.6}, {py(3), -0.8}, {px(2), 0.6}, {py(2), 0.8}}},
        GuardCase{"EqualLineLengthOneZeroLine",
                  K::EqualLineLength,
                  {1, 0, 0},
                  {},
                  {{1, {1.0, -2.0}}, {2, {0.0, 0.0}}, {3, {3.0, 4.0}}},
                  {{px(3), 0.6}, {py(3), 0.8}, {px(2), -0.6}, {py(2), -0.8}}},
        GuardCase{"AngleZeroLine", K::Angle, {0, 1, 0}, {30.0, 0}, {{1, {1.0, -2.0}}}, {}},
        GuardCase{"AngleBetweenPointsCollinear",
                  K::AngleBetweenPoints,
                  {0, 1, 2},
                  {90.0, 0},
                  {{0, {1.0, 0.0}}, {1, {0.0, 0.0}}, {2, {2.0, 0.0}}},
                  {}},
        GuardCase{
            "AngleBetweenPointsEmptyRay", K::AngleBetweenPoints, {0, 0, 2}, {90.0, 0}, {}, {}},
        GuardCase{"PointLineDistanceZeroLine",
                  K::PointLineDistance,
                  {2, 0, 0},
                  {1.0, 0},
                  {{0, {0.0, 0.0}}, {1, {0.0, 0.0}}, {2, {1.0, 2.0}}},
                  {{px(2), 2.0}, {py(2), 4.0}, {px(0), -2.0}, {py(0), -4.0}}},
        GuardCase{"EllipseTangentLineZeroLine",
                  K::EllipseTangentLine,
                  {0, 0, 0},
                  {},
                  {{1, {1.0, -2.0}}},
                  {}},
        GuardCase{"EllipseFocusAtCentre",
                  K::EllipseFocusDistance,
                  {0, 0, 0},
                  {6.0, 0},
                  {{5, {5.0, 6.0}}},
                  {}},
        // Ellipse 0: C = (0, 0), F1 = (3, 0), b = 4, so a = 5 and F2 = (-3, 0).
        // P on F1: only the |P - F2| and the major radius terms remain.
        // dF2/dF1 = -1, so F1 gets +1 from the |P - F2| term and -2 (C - F1) / a = -1.2
        // from the major radius; C gets -2 and +1.2.
        GuardCase{"PointOnEllipseAtFocus",
                  K::PointOnEllipse,
                  {3, 0, 0},
                  {},
                  {{4, {0.0, 0.0}}, {5, {3.0, 0.0}}, {3, {3.0, 0.0}}},
                  {{px(3), 1.0},
                   {px(5), 1.0 - 1.2},
                   {px(4), -2.0 + 1.2},
                   {{ParamKind::EllipseRadmin, 0}, -1.6}}},
        GuardCase{
            "ArcSweepStartOnCentre", K::ArcSweepAngle, {0, 0, 0}, {90.0, 0}, {{5, {5.0, 6.0}}}, {}},
        GuardCase{
            "ArcLengthStartOnCentre", K::ArcLength, {0, 0, 0}, {2.0, 0}, {{5, {5.0, 6.0}}}, {}}),
    [](const auto& info) { return info.param.name; });

// Parallel lines: the intersection rows are the incidences of P on each line.
TEST(GuardedIntersection, ParallelLinesGiveIncidenceRows) {
    GuardCase g{
        "",
        K::LineLineIntersection,
        {4, 0, 1},
        {},
        {{0, {0.0, 0.0}}, {1, {2.0, 0.0}}, {2, {0.0, 1.0}}, {3, {2.0, 1.0}}, {4, {1.0, 3.0}}},
        {}};
    System s = guard_sketch(g);
    const Eigen::MatrixXd j = analytic_jacobian(s, 2);
    // Row 0: cross(P - A1, d1) with P - A1 = (1, 3), d1 = (2, 0).
    EXPECT_DOUBLE_EQ(j(0, column(s, px(4))), 0.0);
    EXPECT_DOUBLE_EQ(j(0, column(s, py(4))), -2.0);
    EXPECT_DOUBLE_EQ(j(0, column(s, px(1))), -3.0);
    EXPECT_DOUBLE_EQ(j(0, column(s, py(1))), 1.0);
    EXPECT_DOUBLE_EQ(j(0, column(s, px(0))), 3.0);
    EXPECT_DOUBLE_EQ(j(0, column(s, py(0))), 1.0);
    EXPECT_DOUBLE_EQ(j(0, column(s, px(2))), 0.0);
    // Row 1: cross(P - B1, d2) with P - B1 = (1, 2), d2 = (2, 0).
    EXPECT_DOUBLE_EQ(j(1, column(s, py(4))), -2.0);
    EXPECT_DOUBLE_EQ(j(1, column(s, px(3))), -2.0);
    EXPECT_DOUBLE_EQ(j(1, column(s, py(3))), 1.0);
    EXPECT_DOUBLE_EQ(j(1, column(s, px(2))), 2.0);
    EXPECT_DOUBLE_EQ(j(1, column(s, py(2))), 1.0);
    EXPECT_DOUBLE_EQ(j(1, column(s, px(0))), 0.0);
}

// A vanishing mirror line: +1 for O and -1 for I, nothing for the line.
TEST(GuardedSymmetry, ZeroLineGivesIdentityRows) {
    GuardCase g{"", K::Symmetry, {4, 5, 0}, {}, {{1, {1.0, -2.0}}}, {}};
    System s = guard_sketch(g);
    const Eigen::MatrixXd j = analytic_jacobian(s, 2);
    Eigen::MatrixXd expected = Eigen::MatrixXd::Zero(2, j.cols());
    expected(0, column(s, px(4))) = 1.0;
    expected(0, column(s, px(5))) = -1.0;
    expected(1, column(s, py(4))) = 1.0;
    expected(1, column(s, py(5))) = -1.0;
    EXPECT_EQ(j, expected);
}

// A major radius below the guard drops that ellipse's terms only.
TEST(GuardedMajorAxes, VanishingMajorRadiusDropsItsTerms) {
    GuardCase g{"",
                K::EqualMajorAxes,
                {0, 1, 0},
                {},
                {{4, {1.0, 1.0}}, {5, {1.0, 1.0}}, {6, {0.0, 0.0}}, {7, {3.0, 0.0}}},
                {}};
    System s = guard_sketch(g);
    s.ellipses[0].radmin = 0.0;
    const Eigen::MatrixXd j = analytic_jacobian(s, 1);
    Eigen::MatrixXd expected = Eigen::MatrixXd::Zero(1, j.cols());
    expected(0, column(s, px(6))) = 0.6;  // -(C - F1) / a with C - F1 = (-3, 0), a = 5
    expected(0, column(s, px(7))) = -0.6;
    expected(0, column(s, {ParamKind::EllipseRadmin, 1})) = -0.8;
    expect_close(j, expected, 1e-12, "EqualMajorAxes");
}

// Where the analytic row is guarded to zero, central differences still see the
// residual -r^2 move with r.
TEST(GuardedDifferences, ZeroLineTangencyDiffersFromCentralDifferences) {
    GuardCase g{"", K::LineCircleTangent, {0, 0, 0}, {}, {{1, {1.0, -2.0}}}, {}};
    System s = guard_sketch(g);
    const Eigen::VectorXd x = gather(s);
    const Eigen::MatrixXd differences = central_difference_jacobian(s, x, 1);
    EXPECT_NEAR(differences(0, column(s, kCircleRadius)), -4.0, 1e-6);
    EXPECT_TRUE(analytic_jacobian(s, 1).isZero(0.0));
}

// ---- Columns ---------------------------------------------------------------

System free_points(int count) {
    System s;
    for (int i = 0; i < count; ++i) s.points.push_back({0.7 * i + 0.3, 1.1 * i * i - 0.4, false});
    return s;
}

// Horizontal(0, 1) leaves P1.y without a variable of its own: PointOnLine's
// P1.y derivative lands in P0.y's column.
TEST(Columns, HorizontalSendsTheEliminatedDerivativeToTheGroupColumn) {
    System s = free_points(4);
    s.lines = {{2, 3}};
    s.constraints = {{K::Horizontal, {0, 1, 0}, {}}, {K::PointOnLine, {1, 0, 0}, {}}};
    build_variables(s);
    scatter(s, gather(s));
    ASSERT_EQ(s.layout.variables.size(), 7u);
    const Eigen::MatrixXd j = analytic_jacobian(s, 1);
    const double dx = s.points[3].x - s.points[2].x;
    EXPECT_DOUBLE_EQ(j(0, column(s, py(0))), -dx);
    EXPECT_DOUBLE_EQ(j(0, column(s, px(0))), 0.0);
    expect_close(j, central_difference_jacobian(s, gather(s), 1), 1e-6, "Horizontal + PointOnLine");
}

TEST(Columns, MidpointWithCoincidentEndsSumsToMinusOne) {
    System s = free_points(3);
    s.constraints = {{K::Midpoint, {0, 1, 2}, {}}, {K::Coincident, {1, 2, 0}, {}}};
    build_variables(s);
    const Eigen::MatrixXd j = analytic_jacobian(s, 2);
    EXPECT_DOUBLE_EQ(j(0, column(s, px(1))), -1.0);
    EXPECT_DOUBLE_EQ(j(1, column(s, py(1))), -1.0);
    EXPECT_DOUBLE_EQ(j(0, column(s, px(0))), 1.0);
    // The triplets keep both halves; the solver's matrix sums them.
    const auto triplets = sparse_jacobian(s);
    EXPECT_EQ(std::count_if(triplets.begin(), triplets.end(),
                            [&](const JacobianTriplet& t) {
                                return t.row() == 0 && t.col() == column(s, px(1));
                            }),
              2);
    EXPECT_DOUBLE_EQ(Eigen::MatrixXd(solver_jacobian(s, gather(s), 2))(0, column(s, px(1))), -1.0);
}

// A chain listed backwards still puts point 2's derivatives in point 0's columns.
TEST(Columns, ReversedCoincidentChainKeepsEveryDerivative) {
    System s = free_points(4);
    s.constraints = {{K::Coincident, {1, 2, 0}, {}},
                     {K::Coincident, {0, 1, 0}, {}},
                     {K::Distance, {2, 3, 0}, {2.0, 0.0}}};
    build_variables(s);
    scatter(s, gather(s));
    ASSERT_EQ(s.layout.variables.size(), 4u);
    const Eigen::MatrixXd j = analytic_jacobian(s, 1);
    EXPECT_NE(j(0, column(s, px(0))), 0.0);
    EXPECT_DOUBLE_EQ(j(0, column(s, px(0))), -j(0, column(s, px(3))));
    expect_close(j, central_difference_jacobian(s, gather(s), 1), 1e-6, "reversed chain");
}

TEST(Columns, FixedPointDerivativesAppearNowhere) {
    System s = free_points(2);
    s.points[0].fixed = true;
    s.constraints = {{K::Distance, {0, 1, 0}, {1.0, 0.0}}};
    build_variables(s);
    const Eigen::MatrixXd j = analytic_jacobian(s, 1);
    ASSERT_EQ(j.cols(), 2);
    const double dx = s.points[1].x - s.points[0].x;
    const double dy = s.points[1].y - s.points[0].y;
    EXPECT_DOUBLE_EQ(j(0, column(s, px(1))), dx / std::hypot(dx, dy));
    EXPECT_DOUBLE_EQ(j(0, column(s, py(1))), dy / std::hypot(dx, dy));
    EXPECT_EQ(sparse_jacobian(s).size(), 2u);
}

TEST(Columns, NoVariablesGiveAnEmptyMatrix) {
    System s = free_points(2);
    for (Point& p : s.points) p.fixed = true;
    s.constraints = {{K::Distance, {0, 1, 0}, {1.0, 0.0}}, {K::FixedPoint, {0, 0, 0}, {0.0, 0.0}}};
    build_variables(s);
    const Eigen::VectorXd x = gather(s);
    EXPECT_EQ(analytic_jacobian(s, 3).rows(), 3);
    EXPECT_EQ(analytic_jacobian(s, 3).cols(), 0);
    EXPECT_EQ(central_difference_jacobian(s, x, 3).cols(), 0);
    EXPECT_TRUE(sparse_jacobian(s).empty());
    for (const bool analytic : {true, false}) {
        s.analytic_jacobian = analytic;
        const Eigen::SparseMatrix<double> j = solver_jacobian(s, x, 3);
        EXPECT_EQ(j.rows(), 3);
        EXPECT_EQ(j.cols(), 0);
    }
}

// ---- Central differences ----------------------------------------------------

// A radius just above min_radius: the lower sample is clamped, so the column
// is a one-sided difference over 2e-6.
TEST(CentralDifferences, ClampedRadiusGivesOneSidedDifference) {
    System s = free_points(2);
    s.points[0].fixed = true;
    s.points[1].fixed = true;
    s.circles = {{0, 1e-10 + 5e-7, false}};
    s.constraints = {{K::PointOnCircle, {1, 0, 0}, {}}};
    build_variables(s);
    const Eigen::VectorXd x = gather(s);
    const Eigen::MatrixXd j = central_difference_jacobian(s, x, 1);
    EXPECT_NEAR(j(0, 0), -0.75, 1e-9);
    s.analytic_jacobian = false;
    EXPECT_EQ(Eigen::MatrixXd(solver_jacobian(s, x, 1)), j);
    EXPECT_EQ(s.circles[0].radius, x[0]);
}

// A sketch mixing groups (chains, overlaps, shared centres) with many kinds:
// the solver's column-by-column differences equal the dense ones exactly and
// leave the store at x.
TEST(CentralDifferences, SolverColumnsEqualTheDenseProducer) {
    std::mt19937 rng(77);
    System s = random_entities(rng);
    s.points[3].fixed = true;
    s.circles[1].center = 4;  // two circles on one centre
    s.constraints = {
        {K::Coincident, {21, 22, 0}, {}},      {K::Coincident, {20, 21, 0}, {}},
        {K::Horizontal, {0, 2, 0}, {}},        {K::Horizontal, {1, 2, 0}, {}},
        {K::EqualRadius, {0, 1, 0}, {}},       {K::Concentric, {0, 1, 0}, {}},
        {K::Vertical, {3, 7, 0}, {}},          {K::Distance, {22, 0, 0}, {2.0, 0.0}},
        {K::PointOnLine, {20, 1, 0}, {}},      {K::LineCircleTangent, {0, 1, 0}, {}},
        {K::ArcLength, {0, 0, 0}, {3.0, 0.0}}, {K::Symmetry, {20, 6, 1}, {}},
        {K::PointOnEllipse, {7, 0, 0}, {}},    {K::EqualMajorAxes, {0, 1, 0}, {}},
        {K::Midpoint, {8, 21, 9}, {}},         {K::LineLineIntersection, {10, 0, 1}, {}},
        {K::ArcCircleTangent, {1, 1, 0}, {}},  {K::PointOnArcOfEllipse, {11, 0, 0}, {}},
    };
    build_variables(s);
    const Eigen::VectorXd x = gather(s);
    scatter(s, x);
    const Eigen::Index rows = solver_rows(s);
    const Eigen::MatrixXd dense = central_difference_jacobian(s, x, rows);
    s.analytic_jacobian = false;
    EXPECT_EQ(Eigen::MatrixXd(solver_jacobian(s, x, rows)), dense);
    EXPECT_EQ(gather(s), x);
    const Eigen::MatrixXd analytic = analytic_jacobian(s, rows);
    expect_close(analytic, dense, 1e-6, "mixed sketch");
    s.analytic_jacobian = true;
    expect_close(Eigen::MatrixXd(solver_jacobian(s, x, rows)), analytic, 1e-15, "mixed analytic");
}

}  // namespace
}  // namespace ovralis
