// The least-norm step, the collapse watch and the restoration of rounded
// values, each against truth computed here.
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <tuple>

#include <gtest/gtest.h>
#include <Eigen/Dense>

#include "solver/collapse_watch.hpp"
#include "solver/drawing.hpp"
#include "solver/row_space_step.hpp"
#include "solver/turn_watch.hpp"
#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

// A random sparse m x n matrix whose rows 0..rank-1 are random and whose
// remaining rows repeat combinations of them (redundant constraints).
Eigen::MatrixXd random_jacobian(int m, int n, int rank, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    std::bernoulli_distribution present(0.4);
    Eigen::MatrixXd j = Eigen::MatrixXd::Zero(m, n);
    for (int r = 0; r < rank; ++r) {
        for (int c = 0; c < n; ++c) j(r, c) = present(rng) ? value(rng) : 0.0;
        j(r, r % n) += 2.0;  // no empty row
    }
    for (int r = rank; r < m; ++r) j.row(r) = j.row(r - rank) + 0.5 * j.row((r + 1) % rank);
    return j;
}

struct Shape {
    int rows;
    int columns;
    int rank;
};

// Each shape solved both ways a Jacobian with a null direction can take: J J^T
// (small sketches) and iterated Tikhonov on J^T J (large ones, forced here by
// allowing no row system at all).
class RowSpaceStepTest : public ::testing::TestWithParam<std::tuple<Shape, Eigen::Index>> {};

// The least-norm least-squares solution is the pseudo-inverse's; its part in
// J's null space is zero.
TEST_P(RowSpaceStepTest, IsThePseudoInverseSolution) {
    const auto [shape, largest_row_system] = GetParam();
    const Eigen::MatrixXd dense = random_jacobian(shape.rows, shape.columns, shape.rank, 7);
    // A right-hand side J times something: consistent, as residuals near a solution are.
    const Eigen::VectorXd rhs = dense * Eigen::VectorXd::LinSpaced(shape.columns, -1.0, 2.0);
    const Eigen::VectorXd truth = dense.completeOrthogonalDecomposition().solve(rhs);

    RowSpaceSolver solver(largest_row_system);
    ASSERT_TRUE(solver.factorise(dense.sparseView()));
    const auto step = solver.solve(rhs);
    ASSERT_TRUE(step.has_value());
    EXPECT_LT((*step - truth).norm(), 1e-8 * truth.norm());
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, RowSpaceStepTest,
    ::testing::Combine(::testing::Values(Shape{6, 10, 6}, Shape{10, 10, 8}, Shape{14, 9, 9},
                                         Shape{30, 60, 25}, Shape{40, 24, 24}, Shape{20, 12, 8},
                                         Shape{60, 30, 22}),
                       ::testing::Values(RowSpaceSolver::kLargestRowSystem, Eigen::Index{0})));

// A rounding-level residual on an under-constrained Jacobian gives a
// rounding-level step: nothing is divided by a vanishing pivot.
TEST(RowSpaceStep, RoundingResidualGivesRoundingStep) {
    const Eigen::MatrixXd dense = random_jacobian(12, 40, 12, 3);
    RowSpaceSolver solver;
    ASSERT_TRUE(solver.factorise(dense.sparseView()));
    const Eigen::VectorXd rhs = Eigen::VectorXd::Constant(12, 1e-16);
    const auto step = solver.solve(rhs);
    ASSERT_TRUE(step.has_value());
    EXPECT_LT(step->lpNorm<Eigen::Infinity>(), 1e-14);
}

// A rectangle drawn as four lines, one corner at the origin.
Sketch rectangle(double width, double height) {
    Sketch s;
    s.line(0, 0, width, 0);
    s.line(width, 0, width, height);
    s.line(width, height, 0, height);
    s.line(0, height, 0, 0);
    return s;
}

TEST(CollapseWatch, SeesALineShrunkToNothing) {
    System system = rectangle(4.0, 3.0);
    const CollapseWatch watch(system, 5.0);
    EXPECT_FALSE(watch.collapsed());
    system.points[3] = Point{4.0 + 1e-7, 1e-7, false};  // the second line's end on its start
    EXPECT_TRUE(watch.collapsed());
}

TEST(CollapseWatch, SeesARadiusShrunkToNothing) {
    Sketch sketch;
    sketch.circle(0.0, 0.0, 2.0);
    sketch.arc(5.0, 0.0, 6.0, 0.0, 5.0, 1.0, 1.0);
    System system = sketch;
    const CollapseWatch watch(system, 3.0);
    system.circles[0].radius = 0.0;
    EXPECT_TRUE(watch.collapsed());
    system.circles[0].radius = 2.0;
    system.arcs[0].radius = -1e-9;
    EXPECT_TRUE(watch.collapsed());
}

// Ends a coincidence or a zero distance joins, directly or through a chain,
// may meet.
TEST(CollapseWatch, LeavesAloneWhatTheConstraintsJoin) {
    Sketch sketch = rectangle(4.0, 3.0);
    sketch.constrain(ConstraintKind::Coincident, {0, 5});  // first line's start, through 5
    sketch.constrain(ConstraintKind::Distance, {5, 1}, {0.0});
    sketch.point(1.0, 1.0);  // 8
    sketch.point(2.0, 1.0);  // 9
    sketch.line(8, 9);
    sketch.constrain(ConstraintKind::Coincident, {8, 9});
    System system = sketch;
    const CollapseWatch watch(system, 5.0);
    system.points[1] = system.points[0];
    system.points[9] = system.points[8];
    EXPECT_FALSE(watch.collapsed());
}

// Two parallel lines shrunk to a hundred-thousandth of the unit and three
// degrees apart: their cross product is within tol, their angle is not.
// With a dimension asking for a length that small, the same ending may be
// what was asked for.
// Two lines held parallel, (0, 0)-(4, 0) and (0, 1)-(4, 1): points 0 to 3.
Sketch parallel_lines() {
    Sketch sketch;
    sketch.line(0.0, 0.0, 4.0, 0.0);
    sketch.line(0.0, 1.0, 4.0, 1.0);
    sketch.constrain(ConstraintKind::Parallel, {0, 1});
    return sketch;
}

TEST(CollapseWatch, SeesAParallelThatHoldsOnlyWhenShrunk) {
    for (const bool small_dimension : {false, true}) {
        Sketch sketch = parallel_lines();
        if (small_dimension) sketch.constrain(ConstraintKind::Distance, {0, 1}, {1e-5});
        System system = sketch;
        const CollapseWatch watch(system, 1.0);
        const double tilt = 3.0 * std::numbers::pi / 180.0;
        system.points[1] = Point{1e-5, 0.0, false};
        system.points[3] = Point{1e-5 * std::cos(tilt), 1.0 + 1e-5 * std::sin(tilt), false};
        EXPECT_EQ(watch.holds_only_by_shrinking(1e-9), !small_dimension);
        system.points[3] = Point{1e-5, 1.0, false};
        EXPECT_FALSE(watch.holds_only_by_shrinking(1e-9));
    }
}

// A double root (a tangency where the figures already meet) leaves an error
// of the order of the square root of tol at a converged residual, which the
// refinement removes: such an ending, nothing shrunk, is not judged.
TEST(CollapseWatch, LeavesAnErrorOfTheSquareRootOfTolToTheRefinement) {
    System system = parallel_lines();
    const CollapseWatch watch(system, 1.0);
    system.points[3].y = 1.0 + 4.0 * 3e-4;  // three hundred microradians off
    EXPECT_FALSE(watch.holds_only_by_shrinking(1e-9));
}

TEST(Drawing, PutsBackOnlyWhatRoundingChanged) {
    System system = rectangle(4.1, 3.3);
    const Drawing drawing(system);
    const double x = system.points[1].x;
    system.points[1].x = std::nextafter(x, 10.0);
    system.points[4].y += 1e-9;
    drawing.restore_rounded(system);
    EXPECT_EQ(system.points[1].x, x);
    EXPECT_EQ(system.points[4].y, 3.3 + 1e-9);
}

// Two sides of a triangle meeting at a shared point, and an arc: mirrored
// over the base, both turn the other way; bent further the same way, not.
TEST(TurnWatch, SeesAMirrorImage) {
    Sketch sketch;
    sketch.point(0.0, 0.0);  // 0
    sketch.point(4.0, 0.0);  // 1
    sketch.point(1.0, 3.0);  // 2
    sketch.line(0, 1);
    sketch.line(1, 2);
    sketch.arc(0.0, 0.0, 1.0, 0.0, 0.0, 1.0, 1.0);
    System system = sketch;
    const TurnWatch turns(system);
    EXPECT_FALSE(turns.flipped());
    system.points[2].y = 5.0;
    EXPECT_FALSE(turns.flipped());
    system.points[2].y = -3.0;
    EXPECT_TRUE(turns.flipped());
    system.points[2].y = 3.0;
    system.points[system.arcs[0].end].y = -1.0;
    EXPECT_TRUE(turns.flipped());
}

// Corners joined through a coincidence count as well as shared points.
TEST(TurnWatch, SeesCornersJoinedByCoincidence) {
    Sketch sketch;
    sketch.line(0.0, 0.0, 4.0, 0.0);  // points 0, 1
    sketch.line(4.0, 0.0, 1.0, 3.0);  // points 2, 3
    sketch.constrain(ConstraintKind::Coincident, {1, 2});
    System system = sketch;
    const TurnWatch turns(system);
    system.points[3].y = -3.0;
    EXPECT_TRUE(turns.flipped());
}

// An angle between two lines that meet nowhere holds either way round; the
// watch keeps the way it was drawn.
TEST(TurnWatch, SeesAnAngleTakenTheOtherWayRound) {
    Sketch sketch;
    const Index base = sketch.line(0.0, 0.0, 4.0, 0.0);
    const Index side = sketch.line(6.0, 1.0, 8.0, 3.0);
    sketch.constrain(ConstraintKind::Angle, {base, side}, {45.0});
    System system = sketch;
    const TurnWatch turns(system);
    system.points[3] = Point{8.0, -1.0, false};
    EXPECT_TRUE(turns.flipped());
}

}  // namespace
}  // namespace ovralis
