// The drawing as drawn for the recovery: equality groups at their members'
// mean, and mirror images turned back point by point.

#include <cmath>

#include <gtest/gtest.h>

#include "solver/drawn_start.hpp"
#include "solver/turn_watch.hpp"
#include "system/variable_layout.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

// The column of a point's coordinate.
Eigen::Index column(const System& system, ParamKind kind, Index point) {
    return *column_of(system.layout, {kind, point});
}

// Three copies of one corner drawn apart and a horizontal pair: each group's
// variable starts at the mean of its members; a group held by a fixed point
// has no variable; an ungrouped point keeps its own value.
TEST(DrawnStart, StartsEveryGroupAtItsMembersMean) {
    Sketch sketch;
    sketch.point(1.0, 2.0);   // 0, with 1 and 2
    sketch.point(2.0, 5.0);   // 1
    sketch.point(6.0, 8.0);   // 2
    sketch.point(7.0, 1.0);   // 3, level with 4
    sketch.point(9.0, 4.0);   // 4
    sketch.point(0.0, 0.0, true);  // 5, fixed, with 6
    sketch.point(3.0, 3.0);   // 6
    sketch.constrain(K::Coincident, {0, 1});
    sketch.constrain(K::Coincident, {1, 2});
    sketch.constrain(K::Horizontal, {3, 4});
    sketch.constrain(K::Coincident, {5, 6});
    System system = sketch;
    build_variables(system);

    const Eigen::VectorXd drawn = drawn_start(system);
    ASSERT_EQ(drawn.size(), 5);  // the corner's x and y, 3's x, 4's x, the pair's y
    EXPECT_DOUBLE_EQ(drawn[column(system, ParamKind::PointX, 2)], 3.0);
    EXPECT_DOUBLE_EQ(drawn[column(system, ParamKind::PointY, 0)], 5.0);
    EXPECT_DOUBLE_EQ(drawn[column(system, ParamKind::PointY, 4)], 2.5);
    EXPECT_DOUBLE_EQ(drawn[column(system, ParamKind::PointX, 3)], 7.0);
    EXPECT_DOUBLE_EQ(drawn[column(system, ParamKind::PointX, 4)], 9.0);
    EXPECT_FALSE(column_of(system.layout, {ParamKind::PointX, 6}).has_value());
}

double distance(const Point& a, const Point& b) { return std::hypot(a.x - b.x, a.y - b.y); }

// An arc whose centre crossed its chord and a corner whose meeting point
// crossed the line through its far ends: turned back, each point lies mirrored
// across that line (its distances to the line's points kept), and the watch
// sees nothing turned over any more.
TEST(TurnWatch, TurnsBackWhatTurnedOver) {
    Sketch sketch;
    const Index arc = sketch.arc(0.0, 0.0, 3.0, 0.0, 0.0, 3.0, 3.0);  // centre, start, end: 0, 1, 2
    sketch.line(10.0, 0.0, 14.0, 0.0);  // points 3, 4
    sketch.line(14.0, 0.0, 12.0, 3.0);  // points 5, 6
    sketch.constrain(K::Coincident, {4, 5});
    System system = sketch;
    build_variables(system);
    const TurnWatch turns(system);
    const Index centre = system.arcs[arc].center;
    system.points[centre] = Point{2.5, 2.0, false};  // beyond the chord from (3, 0) to (0, 3)
    system.points[4] = system.points[5] = Point{9.0, 2.0, false};  // the corner bent back over
    ASSERT_EQ(turns.flips(), 2u);

    Eigen::VectorXd x = gather(system);
    ASSERT_TRUE(turns.turn_back(x));
    scatter(system, x);
    // Across x + y = 3 from (2.5, 2): (1, 0.5); across the line through (10, 0)
    // and (12, 3) from (9, 2): (11 + 16/13, -2/13).
    EXPECT_NEAR(system.points[centre].x, 1.0, 1e-12);
    EXPECT_NEAR(system.points[centre].y, 0.5, 1e-12);
    EXPECT_NEAR(system.points[4].x, 11.0 + 16.0 / 13.0, 1e-12);
    EXPECT_NEAR(system.points[4].y, -2.0 / 13.0, 1e-12);
    EXPECT_NEAR(distance(system.points[centre], system.points[1]), std::hypot(0.5, 2.0), 1e-12);
    EXPECT_NEAR(distance(system.points[4], system.points[3]), std::hypot(1.0, 2.0), 1e-12);
    EXPECT_NEAR(distance(system.points[4], system.points[6]), std::hypot(3.0, 1.0), 1e-12);
    EXPECT_EQ(turns.flips(), 0u);
    EXPECT_FALSE(turns.turn_back(x));
}

}  // namespace
}  // namespace ovralis
