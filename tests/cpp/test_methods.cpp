// The dogleg, BFGS and sparse Levenberg–Marquardt methods, run through the
// solve engine on a shared catalogue of sketches. Solutions are checked
// against geometry worked out here, not against the module's residuals.

#include <cmath>
#include <string>

#include <gtest/gtest.h>
#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "jacobian/jacobian.hpp"
#include "residual/residual.hpp"
#include "solver/method_support.hpp"
#include "solver/problem.hpp"
#include "solver/solve.hpp"
#include "solver/sparse/sparse_levenberg_marquardt.hpp"
#include "system/store.hpp"
#include "system/system.hpp"
#include "system/variable_layout.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

constexpr double kTol = 1e-10;
constexpr double kGeometryTol = 1e-7;
constexpr std::uint64_t kMaxIter = 500;

double distance(const Point& a, const Point& b) { return std::hypot(a.x - b.x, a.y - b.y); }

void expect_at(const Point& point, double x, double y) {
    EXPECT_NEAR(point.x, x, kGeometryTol);
    EXPECT_NEAR(point.y, y, kGeometryTol);
}

enum class Method { DogLeg, Bfgs, SparseLm };

std::string method_name(Method method) {
    switch (method) {
        case Method::DogLeg: return "DogLeg";
        case Method::Bfgs: return "Bfgs";
        case Method::SparseLm: return "SparseLm";
    }
    return "Unknown";
}

SolveReport run(System& system, Method method, std::uint64_t max_iter, double tol = kTol) {
    switch (method) {
        case Method::DogLeg: return solve_engine(system, max_iter, SolveMethod::DogLeg, tol);
        case Method::Bfgs: return solve_engine(system, max_iter, SolveMethod::Bfgs, tol);
        case Method::SparseLm:
            system.sparse_solver = true;
            return solve_engine(system, max_iter, SolveMethod::Automatic, tol);
    }
    return {};
}

// ---------------------------------------------------------------------------
// The catalogue. Each sketch starts near one solution, so the solution the
// methods reach is known in advance.

// A 3-4-5 right triangle on a fixed origin, the midpoint of its hypotenuse,
// and a segment of length 10 from (10, 0) parallel to the hypotenuse.
System points_and_lines(bool solved) {
    System s;
    add_point(s, 0, 0, true);
    add_point(s, solved ? 4.0 : 4.2, solved ? 0.0 : 0.3, false);
    add_point(s, solved ? 0.0 : 0.2, solved ? 3.0 : 2.7, false);
    add_point(s, solved ? 2.0 : 2.5, solved ? 1.5 : 1.0, false);
    add_point(s, solved ? 10.0 : 9.6, solved ? 0.0 : 0.4, false);
    add_point(s, solved ? 2.0 : 3.0, solved ? 6.0 : 5.5, false);
    add_line(s, 1, 2);
    add_line(s, 4, 5);
    add_constraint(s, constraint(K::Horizontal, {0, 1}));
    add_constraint(s, constraint(K::Vertical, {0, 2}));
    add_constraint(s, constraint(K::Distance, {0, 1}, {4}));
    add_constraint(s, constraint(K::Distance, {0, 2}, {3}));
    add_constraint(s, constraint(K::Midpoint, {3, 1, 2}));
    add_constraint(s, constraint(K::FixedPoint, {4}, {10, 0}));
    add_constraint(s, constraint(K::Parallel, {0, 1}));
    add_constraint(s, constraint(K::Distance, {4, 5}, {10}));
    return s;
}

void check_points_and_lines(const System& s) {
    expect_at(s.points[0], 0, 0);
    expect_at(s.points[1], 4, 0);
    expect_at(s.points[2], 0, 3);
    expect_at(s.points[3], 2, 1.5);
    expect_at(s.points[4], 10, 0);
    // Parallel to (0, 3) - (4, 0) = (-4, 3), ten long, on the side it started.
    expect_at(s.points[5], 2, 6);
}

// Circle radius 2 on a fixed origin, a radius-3 circle tangent to it on the
// x axis, and a unit quarter arc tangent to the first circle above it.
System circles_and_arcs() {
    System s;
    add_point(s, 0, 0, true);       // 0: centre of circle 0
    add_point(s, 5.3, 0.4, false);  // 1: centre of circle 1
    add_point(s, 0.2, 3.4, false);  // 2: arc centre
    add_point(s, 1.4, 3.3, false);  // 3: arc start
    add_point(s, 0.3, 4.4, false);  // 4: arc end
    add_circle(s, 0, 2.3, false);
    add_circle(s, 1, 2.6, false);
    add_arc(s, 2, 3, 4, 1.2, false);
    add_constraint(s, constraint(K::CircleRadius, {0}, {2}));
    add_constraint(s, constraint(K::CircleRadius, {1}, {3}));
    add_constraint(s, constraint(K::CircleCircleTangent, {0, 1}));
    add_constraint(s, constraint(K::Horizontal, {0, 1}));
    add_constraint(s, constraint(K::Vertical, {0, 2}));
    add_constraint(s, constraint(K::ArcCircleTangent, {0, 0}));
    add_constraint(s, constraint(K::ArcRadius, {0}, {1}));
    add_constraint(s, constraint(K::Horizontal, {2, 3}));
    add_constraint(s, constraint(K::PointOnArc, {3, 0}));
    add_constraint(s, constraint(K::PointOnArc, {4, 0}));
    add_constraint(s, constraint(K::ArcSweepAngle, {0}, {90}));
    return s;
}

void check_circles_and_arcs(const System& s) {
    EXPECT_NEAR(s.circles[0].radius, 2, kGeometryTol);
    EXPECT_NEAR(s.circles[1].radius, 3, kGeometryTol);
    expect_at(s.points[1], 5, 0);  // external tangency: centres 2 + 3 apart
    EXPECT_NEAR(s.arcs[0].radius, 1, kGeometryTol);
    expect_at(s.points[2], 0, 3);  // centre 2 + 1 above the origin
    expect_at(s.points[3], 1, 3);
    expect_at(s.points[4], 0, 4);  // a quarter turn counter-clockwise from the start
}

// An ellipse with foci 6 apart and minor radius 4 (so a = 5), a point on it,
// a vertical tangent, a fixed ellipse whose major axis must match, and an arc
// of ellipse through (0, 4) sharing the first ellipse's centre and focus.
System ellipses() {
    System s;
    add_point(s, 0, 0, true);        // 0: centre
    add_point(s, 2.6, 0.2, false);   // 1: focus
    add_point(s, 4.6, 0.5, false);   // 2: on the ellipse
    add_point(s, 5.4, -0.3, false);  // 3, 4: tangent line
    add_point(s, 5.3, 1.7, false);
    add_point(s, 20, 0, true);       // 5: centre of the fixed ellipse
    add_point(s, 20.3, 3.8, false);  // 6: its focus
    add_point(s, 0, 4, true);        // 7, 8: arc of ellipse ends
    add_point(s, 3, 3.2, true);
    add_line(s, 3, 4);
    s.ellipses.push_back(Ellipse{0, 1, 3.6, false});
    s.ellipses.push_back(Ellipse{5, 6, 3.0, true});
    s.arcs_of_ellipse.push_back(ArcOfEllipse{0, 1, 3.7, 7, 8, false});
    add_constraint(s, constraint(K::Horizontal, {0, 1}));
    add_constraint(s, constraint(K::EllipseRadmin, {0}, {4}));
    add_constraint(s, constraint(K::EllipseFocusDistance, {0}, {6}));
    add_constraint(s, constraint(K::Horizontal, {0, 2}));
    add_constraint(s, constraint(K::PointOnEllipse, {2, 0}));
    add_constraint(s, constraint(K::Horizontal, {0, 3}));
    add_constraint(s, constraint(K::Vertical, {3, 4}));
    add_constraint(s, constraint(K::Distance, {3, 4}, {2}));
    add_constraint(s, constraint(K::EllipseTangentLine, {0, 0}));
    add_constraint(s, constraint(K::Vertical, {5, 6}));
    add_constraint(s, constraint(K::EqualMajorAxes, {0, 1}));
    add_constraint(s, constraint(K::PointOnArcOfEllipse, {7, 0}));
    return s;
}

void check_ellipses(const System& s) {
    expect_at(s.points[1], 3, 0);
    EXPECT_NEAR(s.ellipses[0].radmin, 4, kGeometryTol);
    expect_at(s.points[2], 5, 0);  // the end of the major axis
    expect_at(s.points[3], 5, 0);  // the tangent x = a
    expect_at(s.points[4], 5, 2);
    expect_at(s.points[6], 20, 4);  // c = sqrt(5^2 - 3^2)
    // (0, 4) is 5 from both foci (3, 0) and (-3, 0): a = 5, so b = 4.
    EXPECT_NEAR(s.arcs_of_ellipse[0].radmin, 4, kGeometryTol);
    expect_at(s.points[7], 0, 4);
    expect_at(s.points[8], 3, 3.2);
}

// Two distances that cannot both hold: the best compromise is |p1| = 3.
System contradictory_distances() {
    System s;
    add_point(s, 0, 0, true);
    add_point(s, 1.0, 0.5, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {2}));
    add_constraint(s, constraint(K::Distance, {0, 1}, {4}));
    return s;
}

// A free point on top of the fixed one with a distance of 1 between them: the
// residual is -1 but the Jacobian row is zero (no direction to move in).
System stationary_non_solution() {
    System s;
    add_point(s, 0, 0, true);
    add_point(s, 0, 0, false);
    add_point(s, 2, 0, true);  // gives the sketch a scale of its own
    add_constraint(s, constraint(K::Distance, {0, 1}, {1}));
    return s;
}

System everything_fixed(double d) {
    System s;
    add_point(s, 0, 0, true);
    add_point(s, 3, 4, true);
    add_constraint(s, constraint(K::Distance, {0, 1}, {d}));
    return s;
}

// ---------------------------------------------------------------------------
// Every method on every sketch.

class EveryMethod : public ::testing::TestWithParam<Method> {};

INSTANTIATE_TEST_SUITE_P(Methods, EveryMethod,
                         ::testing::Values(Method::DogLeg, Method::Bfgs, Method::SparseLm),
                         [](const auto& info) { return method_name(info.param); });

TEST_P(EveryMethod, SolvesPointsAndLines) {
    System s = points_and_lines(false);
    const SolveReport report = run(s, GetParam(), kMaxIter);
    EXPECT_TRUE(report.converged);
    EXPECT_EQ(report.outcome, SolveOutcome::Converged);
    EXPECT_GT(report.iterations, 0u);
    EXPECT_LT(report.iterations, kMaxIter);
    check_points_and_lines(s);
}

TEST_P(EveryMethod, SolvesCirclesAndArcs) {
    System s = circles_and_arcs();
    const SolveReport report = run(s, GetParam(), kMaxIter);
    EXPECT_TRUE(report.converged);
    check_circles_and_arcs(s);
}

TEST_P(EveryMethod, SolvesEllipses) {
    System s = ellipses();
    const SolveReport report = run(s, GetParam(), kMaxIter);
    EXPECT_TRUE(report.converged);
    check_ellipses(s);
}

TEST_P(EveryMethod, SolvesWithCentralDifferences) {
    // The sparse method always differentiates analytically; the dense ones
    // follow the store's flag.
    System s = circles_and_arcs();
    s.analytic_jacobian = false;
    const SolveReport report = run(s, GetParam(), kMaxIter);
    EXPECT_TRUE(report.converged);
    check_circles_and_arcs(s);
}

TEST_P(EveryMethod, AlreadySolvedTakesNoIteration) {
    System s = points_and_lines(true);
    const SolveReport report = run(s, GetParam(), kMaxIter);
    EXPECT_TRUE(report.converged);
    EXPECT_EQ(report.iterations, 0u);
    check_points_and_lines(s);
}

TEST_P(EveryMethod, ZeroIterationsMoveNothing) {
    System s = points_and_lines(false);
    const System before = s;
    const SolveReport report = run(s, GetParam(), 0);
    EXPECT_FALSE(report.converged);
    EXPECT_EQ(report.iterations, 0u);
    // Propagation of the eliminated equalities is the only change.
    expect_at(s.points[1], before.points[1].x, 0.0);
    expect_at(s.points[2], 0.0, before.points[2].y);
    for (std::size_t i = 3; i < s.points.size(); ++i) {
        expect_at(s.points[i], before.points[i].x, before.points[i].y);
    }
}

TEST_P(EveryMethod, ZeroIterationsOnASolvedSketchConverge) {
    System s = points_and_lines(true);
    const SolveReport report = run(s, GetParam(), 0);
    EXPECT_TRUE(report.converged);
    EXPECT_EQ(report.iterations, 0u);
}

TEST_P(EveryMethod, UnsolvableEndsAtTheBestCompromise) {
    System s = contradictory_distances();
    const std::uint64_t max_iter = 200;
    const SolveReport report = run(s, GetParam(), max_iter);
    EXPECT_FALSE(report.converged);
    EXPECT_EQ(report.outcome, SolveOutcome::IterationLimit);
    EXPECT_LE(report.iterations, max_iter);
    // (rho - 2)^2 + (rho - 4)^2 is least at rho = 3.
    EXPECT_NEAR(distance(s.points[0], s.points[1]), 3.0, 1e-6);
    expect_at(s.points[0], 0, 0);
}

TEST_P(EveryMethod, NoFreeVariables) {
    System satisfied = everything_fixed(5);
    SolveReport report = run(satisfied, GetParam(), kMaxIter);
    EXPECT_TRUE(report.converged);
    EXPECT_EQ(report.iterations, 0u);

    System unsatisfied = everything_fixed(6);
    report = run(unsatisfied, GetParam(), kMaxIter);
    EXPECT_FALSE(report.converged);
    EXPECT_EQ(report.outcome, SolveOutcome::NoFreeVariablesNotSatisfied);
    expect_at(unsatisfied.points[1], 3, 4);
}

TEST_P(EveryMethod, NonFiniteCostEndsAtOnce) {
    // A NaN distance makes the cost NaN; the other, unsatisfied distance keeps
    // the largest entry (which skips NaN) above tol.
    System s;
    add_point(s, 0, 0, true);
    add_point(s, 1, 1, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {std::nan("")}));
    add_constraint(s, constraint(K::Distance, {0, 1}, {5}));
    const SolveReport report = run(s, GetParam(), kMaxIter);
    EXPECT_FALSE(report.converged);
    EXPECT_EQ(report.outcome, SolveOutcome::NonFinite);
    EXPECT_EQ(report.iterations, 0u);
    expect_at(s.points[1], 1, 1);
}

// The engine answers max_iter 0 itself; a method called on its own must too.
TEST_P(EveryMethod, MethodCalledWithoutIterationsTakesNoStep) {
    for (const bool solved : {false, true}) {
        SCOPED_TRACE(solved ? "solved" : "unsolved");
        System s = points_and_lines(solved);
        build_variables(s);
        propagate(s);
        const Eigen::VectorXd start = gather(s);
        Problem problem(s);
        SolveReport report;
        switch (GetParam()) {
            case Method::DogLeg: report = dogleg(problem, 0, kTol); break;
            case Method::Bfgs: report = bfgs(problem, 0, kTol); break;
            case Method::SparseLm: report = sparse_levenberg_marquardt(problem, 0, kTol); break;
        }
        EXPECT_EQ(report.converged, solved);
        EXPECT_EQ(report.outcome, solved ? SolveOutcome::Converged : SolveOutcome::IterationLimit);
        EXPECT_EQ(report.iterations, 0u);
        EXPECT_EQ(gather(s), start);
    }
}

// Dogleg and BFGS leave a point where the gradient vanishes by a fixed nudge;
// the sparse method has no such rule: its step is zero, which the line search
// accepts without moving, until the iterations run out.
TEST(StationaryNonSolution, DoglegAndBfgsPerturbAndSolve) {
    for (const Method method : {Method::DogLeg, Method::Bfgs}) {
        SCOPED_TRACE(method_name(method));
        System s = stationary_non_solution();
        const SolveReport report = run(s, method, kMaxIter);
        EXPECT_TRUE(report.converged);
        EXPECT_NEAR(distance(s.points[0], s.points[1]), 1.0, kGeometryTol);
    }
}

// Levenberg–Marquardt alone stalls there (a zero step is accepted without
// moving until the iterations run out); its recovery nudges the point and
// continues with Marquardt scaling, inside a second budget of max_iter.
TEST(StationaryNonSolution, LevenbergMarquardtRecovers) {
    System s = stationary_non_solution();
    const SolveReport report = solve_engine(s, 20, SolveMethod::Automatic, kTol);
    EXPECT_TRUE(report.converged);
    EXPECT_GT(report.iterations, 20u);
    EXPECT_LE(report.iterations, 40u + 6u);  // both budgets and the refinement
    EXPECT_NEAR(distance(s.points[0], s.points[1]), 1.0, 1e-12);
}

TEST(StationaryNonSolution, SparseMethodStaysPut) {
    System s = stationary_non_solution();
    const SolveReport report = run(s, Method::SparseLm, 20);
    EXPECT_FALSE(report.converged);
    EXPECT_EQ(report.outcome, SolveOutcome::IterationLimit);
    EXPECT_EQ(report.iterations, 20u);
    expect_at(s.points[1], 0, 0);
}

// ---------------------------------------------------------------------------
// Edge cases of the individual rules.

TEST(Perturbation, MovesEachIndexByTwiceItsSineLessOne) {
    Eigen::VectorXd one = Eigen::VectorXd::Zero(1);
    perturb_off_stationary_point(one);
    EXPECT_DOUBLE_EQ(one[0], -1e-4);

    Eigen::VectorXd three = Eigen::VectorXd::Constant(3, 1.0);
    perturb_off_stationary_point(three);
    EXPECT_DOUBLE_EQ(three[0], 1.0 - 1e-4);
    EXPECT_DOUBLE_EQ(three[1], 1.0 + (2.0 * 0.8414709848078965 - 1.0) * 1e-4);
    EXPECT_DOUBLE_EQ(three[2], 1.0 + (2.0 * 0.9092974268256817 - 1.0) * 1e-4);
}

// One free radius pulled to 0.5 and 1.5 at once: at r = 1 the two residuals
// cancel in the gradient. One iteration is the perturbation alone.
TEST(Perturbation, OneVariableMovesByMinusOneTenThousandth) {
    for (const Method method : {Method::DogLeg, Method::Bfgs}) {
        SCOPED_TRACE(method_name(method));
        System s;
        add_point(s, 0, 0, true);
        add_circle(s, 0, 1.0, false);
        add_constraint(s, constraint(K::CircleRadius, {0}, {0.5}));
        add_constraint(s, constraint(K::CircleRadius, {0}, {1.5}));
        const SolveReport report = run(s, method, 1);
        EXPECT_FALSE(report.converged);
        EXPECT_EQ(report.iterations, 1u);
        EXPECT_DOUBLE_EQ(s.circles[0].radius, 1.0 - 1e-4);  // one point: scale 1
    }
}

// A lone point pulled to a target by FixedPoint: the residual is linear.
System point_towards(double x, double y) {
    System s;
    add_point(s, 0, 0, false);
    add_constraint(s, constraint(K::FixedPoint, {0}, {x, y}));
    return s;
}

TEST(Dogleg, GaussNewtonStepInsideTheRadiusSolvesALinearProblemAtOnce) {
    System s = point_towards(0.5, 0.3);
    const SolveReport report = run(s, Method::DogLeg, kMaxIter);
    EXPECT_TRUE(report.converged);
    EXPECT_EQ(report.iterations, 1u);
    expect_at(s.points[0], 0.5, 0.3);
}

TEST(Dogleg, StepIsCutToTheTrustRadius) {
    System s = point_towards(3, 4);
    const SolveReport report = run(s, Method::DogLeg, 1);
    EXPECT_FALSE(report.converged);
    expect_at(s.points[0], 0.6, 0.8);  // radius 1 along the direction to (3, 4)
}

TEST(Dogleg, SingularNormalMatrixStillSolves) {
    // An under-constrained sketch: one distance on a free point leaves its
    // direction open, so J^T J is singular and the regularised solve steps in.
    System s;
    add_point(s, 0, 0, true);
    add_point(s, 0.6, 0.8, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {2}));
    const SolveReport report = run(s, Method::DogLeg, kMaxIter);
    EXPECT_TRUE(report.converged);
    EXPECT_NEAR(distance(s.points[0], s.points[1]), 2.0, kGeometryTol);
    EXPECT_NEAR(std::atan2(s.points[1].y, s.points[1].x), std::atan2(0.8, 0.6), 1e-6);
}

TEST(Bfgs, ExactLineSearchOnALinearProblemConvergesInOneStep) {
    System s = point_towards(3, 4);
    const SolveReport report = run(s, Method::Bfgs, kMaxIter);
    EXPECT_TRUE(report.converged);
    EXPECT_EQ(report.iterations, 1u);
    expect_at(s.points[0], 3, 4);
}

TEST(SparseLm, HugeStepCostsAnIterationWithoutMoving) {
    // The free point sits 1e-11 off a line it must be 1 away from, in the
    // squared form: the derivative is tiny and the step enormous.
    System s;
    add_point(s, 0, 0, true);
    add_point(s, 1, 0, true);
    add_point(s, 0, 1e-11, false);
    add_line(s, 0, 1);
    add_constraint(s, constraint(K::Vertical, {0, 2}));
    add_constraint(s, constraint(K::PointLineDistance, {2, 0}, {1}));
    const SolveReport report = run(s, Method::SparseLm, 3);
    EXPECT_FALSE(report.converged);
    EXPECT_EQ(report.iterations, 3u);
    EXPECT_NEAR(s.points[2].y, 1e-11, 1e-24);
    EXPECT_EQ(s.points[2].x, 0.0);
}

TEST(SparseLm, RepeatedTripletsAreSummed) {
    // Coincident(1, 2) gives point 2 the columns of point 1, so the Midpoint
    // rows hold -0.5 twice in each of point 1's columns.
    System s;
    add_point(s, 1, 1, false);
    add_point(s, 0, 0, false);
    add_point(s, 2, 0, false);
    add_constraint(s, constraint(K::Midpoint, {0, 1, 2}));
    add_constraint(s, constraint(K::Coincident, {1, 2}));
    build_variables(s);
    const Eigen::MatrixXd jacobian = Eigen::MatrixXd(analytic_sparse_jacobian(s, 2));
    Eigen::MatrixXd expected(2, 4);
    expected << 1, 0, -1, 0,  //
        0, 1, 0, -1;
    EXPECT_EQ(jacobian, expected);
    EXPECT_EQ(jacobian, analytic_jacobian(s, 2));
}

TEST(SparseLm, CholeskyFailureFallsBackToLuAndThenToZero) {
    const Eigen::VectorXd rhs = Eigen::Vector2d(1, 2);

    // Symmetric positive definite: Cholesky.
    Eigen::SparseMatrix<double> spd(2, 2);
    spd.insert(0, 0) = 4;
    spd.insert(1, 1) = 2;
    EXPECT_TRUE(sparse_damped_solve(spd, rhs).isApprox(Eigen::Vector2d(0.25, 1)));

    // Indefinite but regular: dense LU.
    Eigen::SparseMatrix<double> indefinite(2, 2);
    indefinite.insert(0, 1) = 1;
    indefinite.insert(1, 0) = 1;
    EXPECT_TRUE(sparse_damped_solve(indefinite, rhs).isApprox(Eigen::Vector2d(2, 1)));

    // Singular: the zero step.
    Eigen::SparseMatrix<double> singular(2, 2);
    singular.insert(0, 0) = 1;
    singular.insert(0, 1) = 1;
    singular.insert(1, 0) = 1;
    singular.insert(1, 1) = 1;
    EXPECT_EQ(sparse_damped_solve(singular, rhs), Eigen::Vector2d::Zero());
}

TEST(LuSolve, ReportsSingularMatrices) {
    Eigen::Matrix2d regular;
    regular << 2, 1, 1, 3;
    const auto solved = solve_by_lu(regular, Eigen::Vector2d(3, 4));
    ASSERT_TRUE(solved.has_value());
    EXPECT_TRUE(solved->isApprox(Eigen::Vector2d(1, 1)));

    Eigen::Matrix2d zero_pivot;
    zero_pivot << 1, 2, 2, 4;
    EXPECT_FALSE(solve_by_lu(zero_pivot, Eigen::Vector2d(1, 1)).has_value());

    // Singular in exact arithmetic, only rounding noise in the last pivot.
    Eigen::Matrix3d rounded;
    rounded << 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9;
    EXPECT_FALSE(solve_by_lu(rounded, Eigen::Vector3d(1, 1, 1)).has_value());

    Eigen::Matrix2d with_nan;
    with_nan << std::nan(""), 0, 0, 1;
    EXPECT_FALSE(solve_by_lu(with_nan, Eigen::Vector2d(1, 1)).has_value());
}

}  // namespace
}  // namespace ovralis
