// The continuation core: the length-scale bound, minimum-norm steps and a
// followed edit, against geometry computed here.

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include <Eigen/Dense>

#include "solver/follow.hpp"
#include "solver/minimum_norm_step.hpp"
#include "solver/normalisation.hpp"
#include "solver/scale_bound.hpp"
#include "system/store.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

TEST(ScaleBound, NeverAboveTheMeanSpacingAndNotFarBelow) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> coordinate(-50.0, 50.0);
    std::exponential_distribution<double> spread(0.1);
    for (int trial = 0; trial < 200; ++trial) {
        System s;
        const int n = 2 + trial % 40;
        const double stretch = spread(random);
        for (int i = 0; i < n; ++i) {
            add_point(s, coordinate(random) * stretch, coordinate(random), false);
        }
        const double exact = length_scale(s);
        const double bound = length_scale_lower_bound(s);
        EXPECT_LE(bound, exact);
        EXPECT_GT(bound, 0.25 * exact);
    }
}

// An under-determined system: the step satisfies J dx = b and is orthogonal
// to J's null space, which is what the least-norm solution is.
TEST(MinimumNormStep, SolvesAndHasNoComponentAlongFreeDirections) {
    Eigen::MatrixXd dense(2, 5);
    dense << 1, 2, 0, 0, 1, 0, 1, -1, 3, 0;
    const Eigen::SparseMatrix<double> jacobian = dense.sparseView();
    MinimumNormStep step;
    ASSERT_TRUE(step.linearise(jacobian));
    const Eigen::Vector2d b(0.3, -1.1);
    const auto dx = step.solve(b);
    ASSERT_TRUE(dx.has_value());
    EXPECT_LT((dense * *dx - b).norm(), 1e-9);
    const Eigen::VectorXd least = dense.completeOrthogonalDecomposition().solve(b);
    EXPECT_LT((*dx - least).norm(), 1e-9);
}

// A 3-4-5 triangle over a fixed base; the apex keeps its side when AC grows.
System triangle(double apex_y) {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 5.0, 0.0, true);
    add_point(s, 1.8, apex_y, false);
    add_constraint(s, constraint(K::Distance, {0, 2}, {3.0}));
    add_constraint(s, constraint(K::Distance, {1, 2}, {4.0}));
    return s;
}

TEST(Follow, TheApexStaysOnItsSide) {
    for (const double side : {2.4, -2.4}) {
        System s = triangle(side);
        s.constraints[0].value[0] = 6.0;
        const FollowResult result = follow(s, 200, 1e-10);
        ASSERT_TRUE(result.converged);
        const double x = (25.0 + 36.0 - 16.0) / 10.0;
        EXPECT_NEAR(s.points[2].x, x, 1e-9);
        EXPECT_NEAR(s.points[2].y, std::copysign(std::sqrt(36.0 - x * x), side), 1e-9);
        EXPECT_EQ(result.reached, 1.0);
    }
}

TEST(Follow, ATurningPointLeavesTheStoreAsItWas) {
    System s = triangle(2.4);
    s.constraints[0].value[0] = 10.0;
    const System before = s;
    const FollowResult result = follow(s, 200, 1e-10);
    EXPECT_FALSE(result.converged);
    EXPECT_EQ(s.points[2].x, before.points[2].x);
    EXPECT_EQ(s.points[2].y, before.points[2].y);
    EXPECT_NEAR(result.reached, 6.0 / 7.0, 1e-4);
}

TEST(Follow, AnInterruptionLeavesTheStoreAsItWas) {
    System s = triangle(2.4);
    s.constraints[0].value[0] = 6.0;
    const System before = s;
    EXPECT_THROW(follow(s, 200, 1e-10, [] { return true; }), SolveInterrupted);
    EXPECT_EQ(s.points[2].x, before.points[2].x);
    EXPECT_EQ(s.points[2].y, before.points[2].y);
    EXPECT_EQ(s.constraints[0].value[0], 6.0);
}

}  // namespace
}  // namespace ovralis
