// The path tracker's limits: a budget of linearisations and points declared
// off the path, on a path known in closed form.
#include <cmath>

#include <gtest/gtest.h>
#include <Eigen/Core>

#include "solver/path_tracker.hpp"
#include "solver/problem.hpp"
#include "system/store.hpp"
#include "system/system.hpp"
#include "system/variable_layout.hpp"
#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

// A point drawn at (1, 1), held at distance 5 from a fixed origin: along
// r(x) = (1 - s) r(x0) it moves out radially, its distance from the origin
// growing from sqrt(2) to 5.
struct RadialPath : ::testing::Test {
    RadialPath() {
        add_point(system, 0, 0, true);
        add_point(system, 1, 1, false);
        add_constraint(system, constraint(ConstraintKind::Distance, {0, 1}, {5}));
        build_variables(system);
        propagate(system);
        start = gather(system);
    }
    double distance() const { return std::hypot(system.points[1].x, system.points[1].y); }

    System system;
    Eigen::VectorXd start;
};

TEST_F(RadialPath, ReachesTheSolutionAlongTheRay) {
    Problem problem(system);
    Homotopy homotopy(problem, start);
    const PathEnd end = track_path(homotopy, start, PathSettings{});
    ASSERT_TRUE(end.complete);
    EXPECT_NEAR(system.points[1].x, 5.0 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(system.points[1].y, 5.0 / std::sqrt(2.0), 1e-9);
}

TEST_F(RadialPath, StopsWhenTheBudgetIsSpent) {
    Problem problem(system);
    Homotopy homotopy(problem, start);
    PathSettings settings;
    settings.max_iterations = 1;  // the first tangent takes it
    const PathEnd end = track_path(homotopy, start, settings);
    EXPECT_FALSE(end.complete);
    EXPECT_EQ(end.iterations, 1u);
    EXPECT_EQ(end.reached, 0.0);
    EXPECT_EQ(gather(system), start);
}

TEST_F(RadialPath, StopsBeforeThePointsOffThePath) {
    Problem problem(system);
    Homotopy homotopy(problem, start);
    PathSettings settings;
    settings.off_path = [this] { return distance() > 3.0; };
    const PathEnd end = track_path(homotopy, start, settings);
    EXPECT_FALSE(end.complete);
    // The distance is 5 + (1 - s)(sqrt(2) - 5), which passes 3 here.
    const double crossing = (3.0 - std::sqrt(2.0)) / (5.0 - std::sqrt(2.0));
    EXPECT_GT(end.reached, 0.0);
    EXPECT_LT(end.reached, crossing);
    EXPECT_LE(distance(), 3.0);
}

}  // namespace
}  // namespace ovralis
