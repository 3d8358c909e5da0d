// The pieces of constraint inference that Python cannot see: the grid's
// neighbourhood queries against a scan of all items, and the rank check's
// verdicts on candidates whose dependence is known by construction.

#include <algorithm>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "inference/independent_selection.hpp"
#include "inference/spatial_grid.hpp"
#include "system/store.hpp"

namespace ovralis::inference {
namespace {

bool overlap(const Box& a, const Box& b) {
    return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

TEST(SpatialGrid, NearFindsEveryOverlappingBoxOnce) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> at(0.0, 100.0), extent(0.0, 8.0);
    std::vector<Box> boxes;
    for (int i = 0; i < 500; ++i) {
        const double x = at(random), y = at(random);
        boxes.push_back({x, y, x + extent(random), y + extent(random)});
    }
    SpatialGrid grid(Box{0, 0, 108, 108}, boxes.size());
    for (std::uint32_t i = 0; i < boxes.size(); ++i) grid.insert(i, boxes[i]);
    for (int q = 0; q < 50; ++q) {
        const double x = at(random), y = at(random);
        const Box query{x, y, x + 5, y + 5};
        const std::vector<std::uint32_t> found = grid.near(query);
        EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));
        EXPECT_EQ(std::adjacent_find(found.begin(), found.end()), found.end());
        for (std::uint32_t i = 0; i < boxes.size(); ++i) {
            if (overlap(boxes[i], query)) {
                EXPECT_TRUE(std::binary_search(found.begin(), found.end(), i));
            }
        }
    }
}

Constraint of(ConstraintKind kind, Index a, Index b, Index c = 0) {
    Constraint out;
    out.kind = kind;
    out.index = {a, b, c};
    return out;
}

TEST(IndependentCandidates, JudgesEachCandidateAgainstTheStoreAndThoseBefore) {
    System s;
    for (const auto& [x, y] : std::vector<std::pair<double, double>>{{0, 0}, {4, 0}, {4, 3}, {2, 0}}) {
        add_point(s, x, y, false);
    }
    const Index bottom = add_line(s, 0, 1);
    add_line(s, 1, 2);
    add_constraint(s, of(ConstraintKind::Horizontal, 0, 1));
    const std::vector<Independence> verdict = independent_candidates(
        s, {of(ConstraintKind::Vertical, 1, 2),           // new
            of(ConstraintKind::Horizontal, 1, 0),         // the store's own, reversed
            of(ConstraintKind::Perpendicular, 0, 1),      // follows from the two before it
            of(ConstraintKind::PointOnLine, 3, bottom),   // new
            of(ConstraintKind::Midpoint, 3, 0, 1)});      // on the line already: half implied
    EXPECT_EQ(verdict, (std::vector<Independence>{Independence::Independent, Independence::Dependent,
                                                  Independence::Dependent, Independence::Independent,
                                                  Independence::Partly}));
}

}  // namespace
}  // namespace ovralis::inference
