#include <gtest/gtest.h>

#include "system/errors.hpp"
#include "system/references.hpp"
#include "system/store.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

// Three points in a row, a line from the first to the last, a circle on each point.
System three_points() {
    System s;
    add_point(s, 0, 0, false);
    add_point(s, 1, 0, false);
    add_point(s, 2, 0, false);
    add_line(s, 0, 2);
    return s;
}

TEST(Store, IndicesAreDenseAndRemovalRenumbers) {
    System s = three_points();
    EXPECT_EQ(remove_point(s, 1), 0u);
    ASSERT_EQ(s.points.size(), 2u);
    EXPECT_EQ(s.points[1].x, 2.0);
    EXPECT_EQ(s.lines[0].p1, 0u);
    EXPECT_EQ(s.lines[0].p2, 1u);
}

TEST(Store, RemovingAPointCountsOnlyDirectConstraintsButDropsThoseOnItsLines) {
    System s = three_points();
    add_line(s, 1, 2);  // line 1 does not use point 0
    add_constraint(s, constraint(ConstraintKind::Distance, {0, 1}, {5.0}));
    add_constraint(s, constraint(ConstraintKind::PointOnLine, {1, 0}));  // on line 0: uses point 0
    add_constraint(s, constraint(ConstraintKind::Parallel, {0, 1}));     // names line 0
    add_constraint(s, constraint(ConstraintKind::EqualLength, {1, 1}));  // line 1 only: survives
    EXPECT_EQ(remove_point(s, 0), 1u);
    ASSERT_EQ(s.constraints.size(), 1u);
    EXPECT_EQ(s.constraints[0].kind, ConstraintKind::EqualLength);
    // line 0 was built on point 0 and goes with it; line 1 moves down
    ASSERT_EQ(s.lines.size(), 1u);
    EXPECT_EQ(s.lines[0].p1, 0u);
    EXPECT_EQ(s.lines[0].p2, 1u);
    EXPECT_EQ(s.constraints[0].index, (std::array<Index, 3>{0, 0, 0}));
}

TEST(Store, RemovingACircleLowersLaterCircleReferences) {
    System s;
    add_point(s, 0, 0, false);
    for (int i = 0; i < 3; ++i) add_circle(s, 0, 1.0, false);
    add_constraint(s, constraint(ConstraintKind::CircleRadius, {1}, {2.0}));
    add_constraint(s, constraint(ConstraintKind::EqualRadius, {0, 1}));
    add_constraint(s, constraint(ConstraintKind::CircleRadius, {2}, {3.0}));
    EXPECT_EQ(remove_circle(s, 1), 2u);
    ASSERT_EQ(s.constraints.size(), 1u);
    EXPECT_EQ(s.constraints[0].index[0], 1u);
    EXPECT_EQ(s.constraints[0].value[0], 3.0);
}

TEST(Store, SymmetryRenumbersPointsButNotItsLine) {
    System s = three_points();
    add_point(s, 3, 0, false);
    add_constraint(s, constraint(ConstraintKind::Symmetry, {2, 3, 0}));
    remove_point(s, 1);
    ASSERT_EQ(s.constraints.size(), 1u);
    EXPECT_EQ(s.constraints[0].index, (std::array<Index, 3>{1, 2, 0}));
    remove_line(s, 0);
    EXPECT_TRUE(s.constraints.empty());
}

TEST(Store, LineLineIntersectionGoesWithEitherLine) {
    System s = three_points();
    add_line(s, 0, 1);
    add_constraint(s, constraint(ConstraintKind::LineLineIntersection, {0, 0, 1}));
    EXPECT_EQ(remove_line(s, 1), 1u);
    EXPECT_TRUE(s.constraints.empty());
}

TEST(Store, RemovingAPointRemovesEllipsesAndArcsOfEllipseBuiltOnIt) {
    System s = three_points();
    s.ellipses.push_back(Ellipse{1, 2, 1.0, false});
    s.ellipses.push_back(Ellipse{0, 2, 2.0, false});
    s.arcs_of_ellipse.push_back(ArcOfEllipse{0, 1, 1.0, 2, 2, false});
    s.arcs_of_ellipse.push_back(ArcOfEllipse{0, 2, 1.0, 2, 0, false});
    add_constraint(s, constraint(ConstraintKind::EllipseRadmin, {0}, {1.0}));
    add_constraint(s, constraint(ConstraintKind::PointOnArcOfEllipse, {2, 0}));
    add_constraint(s, constraint(ConstraintKind::EllipseRadmin, {1}, {2.0}));
    add_constraint(s, constraint(ConstraintKind::PointOnArcOfEllipse, {2, 1}));
    EXPECT_EQ(remove_point(s, 1), 0u);
    ASSERT_EQ(s.ellipses.size(), 1u);
    ASSERT_EQ(s.arcs_of_ellipse.size(), 1u);
    EXPECT_EQ(s.ellipses[0].focus1, 1u);  // point 2 moved down to 1
    EXPECT_EQ(s.arcs_of_ellipse[0].start, 1u);
    // the survivors' constraints follow them down to index 0
    ASSERT_EQ(s.constraints.size(), 2u);
    EXPECT_EQ(s.constraints[0].index[0], 0u);
    EXPECT_EQ(s.constraints[1].index, (std::array<Index, 3>{1, 0, 0}));
}

TEST(Store, RemoveConstraintReturnsItAndShiftsTheRest) {
    System s;
    add_constraint(s, constraint(ConstraintKind::Horizontal, {0, 1}));
    add_constraint(s, constraint(ConstraintKind::Vertical, {0, 1}));
    add_constraint(s, constraint(ConstraintKind::Coincident, {0, 1}));
    EXPECT_EQ(remove_constraint(s, 0).kind, ConstraintKind::Horizontal);
    EXPECT_EQ(s.constraints[0].kind, ConstraintKind::Vertical);
    clear_constraints(s);
    EXPECT_TRUE(s.constraints.empty());
}

TEST(Store, AddingNeverChecksIndices) {
    System s;
    add_point(s, 0, 0, false);
    add_point(s, 1, 0, false);
    EXPECT_EQ(add_line(s, 7, 8), 0u);
    EXPECT_EQ(add_arc(s, 0, 1, 1, 0.0, false), 0u);
    EXPECT_EQ(s.arcs[0].radius, 0.0);
}

TEST(Store, OutOfRangeReadsAndRemovalsNameTheIndexAndChangeNothing) {
    System s = three_points();
    add_constraint(s, constraint(ConstraintKind::Distance, {0, 1}, {1.0}));
    const auto expect_message = [](auto&& call, const char* text) {
        EXPECT_EQ(error_text<InvalidReference>(call), text);
    };
    expect_message([&] { get_point(s, 5); }, "Point index 5 out of range");
    expect_message([&] { get_line(s, 1); }, "Line index 1 out of range");
    expect_message([&] { get_circle(s, 0); }, "Circle index 0 out of range");
    expect_message([&] { get_arc(s, 0); }, "Arc index 0 out of range");
    expect_message([&] { remove_point(s, 3); }, "Point index 3 out of range");
    expect_message([&] { remove_constraint(s, 1); }, "Constraint index 1 out of range");
    EXPECT_EQ(s.points.size(), 3u);
    EXPECT_EQ(s.constraints.size(), 1u);
}

TEST(References, NameTheFirstMissingEntity) {
    System s = three_points();
    EXPECT_NO_THROW(validate_references(s));
    add_constraint(s, constraint(ConstraintKind::PointOnCircle, {0, 4}));
    add_constraint(s, constraint(ConstraintKind::Distance, {0, 7}, {1.0}));
    EXPECT_EQ(error_text<InvalidReference>([&] { validate_references(s); }),
              "Circle index 4 out of range");
    s.constraints.clear();
    s.arcs_of_ellipse.push_back(ArcOfEllipse{0, 1, 1.0, 2, 9, false});
    EXPECT_EQ(error_text<InvalidReference>([&] { validate_references(s); }),
              "Point index 9 out of range");
}

}  // namespace
}  // namespace ovralis
