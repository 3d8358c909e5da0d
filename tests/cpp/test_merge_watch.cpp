// The merge watch: two points or rounds that were apart and now meet, except
// where the constraints join them or they were together in the drawing.
#include <cctype>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "solver/merge_watch.hpp"
#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;
constexpr double kFloor = 1e-6;

// Two free points 3 apart, and a third far off.
Sketch two_points() {
    Sketch s;
    s.point(0.0, 0.0);
    s.point(3.0, 0.0);
    s.point(9.0, 9.0);
    return s;
}

void move_second_onto_first(System& system) { system.points[1] = {1e-8, -1e-8, false}; }

TEST(MergeWatch, SeesTwoPointsThatWereApartMeet) {
    System system = two_points();
    const MergeWatch watch(system, kFloor);
    EXPECT_FALSE(watch.points_merged());
    move_second_onto_first(system);
    EXPECT_TRUE(watch.points_merged());
    EXPECT_FALSE(watch.rounds_merged());
}

struct Join {
    const char* name;
    void (*add)(Sketch&);
};

void PrintTo(const Join& join, std::ostream* out) { *out << join.name; }

class JoinedPoints : public testing::TestWithParam<Join> {};

TEST_P(JoinedPoints, MayMeet) {
    Sketch sketch = two_points();
    GetParam().add(sketch);
    System system = sketch;
    const MergeWatch watch(system, kFloor);
    move_second_onto_first(system);
    EXPECT_FALSE(watch.points_merged());
}

INSTANTIATE_TEST_SUITE_P(
    Constraints, JoinedPoints,
    testing::Values(
        Join{"coincident", [](Sketch& s) { s.constrain(K::Coincident, {0, 1}); }},
        Join{"coincident through a third",
             [](Sketch& s) {
                 s.constrain(K::Coincident, {0, 2});
                 s.constrain(K::Coincident, {2, 1});
             }},
        Join{"zero distance", [](Sketch& s) { s.constrain(K::Distance, {1, 0}, {0.0}); }},
        Join{"both fixed",
             [](Sketch& s) {
                 s.points[0].fixed = true;
                 s.constrain(K::FixedPoint, {1}, {0.0, 0.0});
             }},
        Join{"end of a line at parameter 0",
             [](Sketch& s) {
                 const Index line = s.line(0, 2);
                 s.constrain(K::PointOnLineAt, {1, line}, {0.0});
             }},
        Join{"level through a third and plumb",
             [](Sketch& s) {
                 s.constrain(K::Horizontal, {0, 2});
                 s.constrain(K::Horizontal, {2, 1});
                 s.constrain(K::Vertical, {1, 0});
             }},
        Join{"on two lines through the other",
             [](Sketch& s) {
                 const Index a = s.line(0, 2);
                 const Index b = s.line(0, s.point(-4.0, 1.0));
                 s.constrain(K::PointOnLine, {1, a});
                 s.constrain(K::PointOnLine, {1, b});
             }}),
    [](const testing::TestParamInfo<Join>& info) {
        std::string name = info.param.name;
        for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });

TEST(MergeWatch, SeesPointsThatShareOnlyOneLineMeet) {
    Sketch sketch = two_points();
    const Index line = sketch.line(0, 2);
    sketch.constrain(K::PointOnLine, {1, line});
    sketch.constrain(K::Horizontal, {2, 1});  // level with the line's far end, not with 0
    System system = sketch;
    const MergeWatch watch(system, kFloor);
    move_second_onto_first(system);
    EXPECT_TRUE(watch.points_merged());
}

TEST(MergeWatch, LeavesAlonePointsTogetherInTheDrawing) {
    Sketch sketch = two_points();
    sketch.points[1] = {1e-4, 0.0, false};  // within a thousand floors
    System system = sketch;
    const MergeWatch watch(system, kFloor);
    move_second_onto_first(system);
    EXPECT_FALSE(watch.points_merged());
}

// Two circles of different centres and radii.
Sketch two_circles() {
    Sketch s;
    s.circle(0.0, 0.0, 1.0);
    s.circle(4.0, 1.0, 1.5);
    return s;
}

void fold_second_onto_first(System& system) {
    system.points[system.circles[1].center] = {0.0, 0.0, false};
    system.circles[1].radius = 1.0 + 1e-9;
}

TEST(MergeWatch, SeesTwoCirclesBecomeOne) {
    System system = two_circles();
    const MergeWatch watch(system, kFloor);
    EXPECT_FALSE(watch.rounds_merged());
    fold_second_onto_first(system);
    EXPECT_TRUE(watch.rounds_merged());
    system.circles[1].radius = 1.2;  // concentric, not one
    EXPECT_FALSE(watch.rounds_merged());
}

TEST(MergeWatch, LeavesAloneConcentricCirclesOfOneRadius) {
    Sketch sketch = two_circles();
    sketch.constrain(K::Concentric, {0, 1});
    System system = sketch;
    const MergeWatch watch(system, kFloor);
    fold_second_onto_first(system);
    EXPECT_FALSE(watch.rounds_merged());
    EXPECT_FALSE(watch.points_merged());
}

TEST(MergeWatch, LeavesAloneArcsOnOneCentrePoint) {
    Sketch sketch;
    const Index centre = sketch.point(0.0, 0.0);
    const Index a = sketch.point(1.0, 0.0), b = sketch.point(0.0, 1.0);
    const Index c = sketch.point(-1.0, 0.0);
    sketch.arcs.push_back({centre, a, b, 1.0, false});
    sketch.arcs.push_back({centre, b, c, 1.3, false});
    System system = sketch;
    const MergeWatch watch(system, kFloor);
    system.arcs[1].radius = 1.0;
    EXPECT_FALSE(watch.rounds_merged());
}

}  // namespace
}  // namespace ovralis
