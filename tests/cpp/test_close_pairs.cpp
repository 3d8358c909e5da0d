// The sorted search for close pairs finds exactly the pairs that comparing
// every pair finds, on clouds that stress its columns.
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "solver/close_pairs.hpp"

namespace ovralis {
namespace {

using Pairs = std::set<std::pair<std::size_t, std::size_t>>;

Pairs every_pair_within(const std::vector<PlanePoint>& points, double reach) {
    Pairs pairs;
    for (std::size_t i = 0; i < points.size(); ++i) {
        for (std::size_t j = i + 1; j < points.size(); ++j) {
            if (std::hypot(points[i].x - points[j].x, points[i].y - points[j].y) <= reach) {
                pairs.insert({i, j});
            }
        }
    }
    return pairs;
}

Pairs sorted_search(const std::vector<PlanePoint>& points, double reach) {
    Pairs pairs;
    for_each_close_pair(points, reach, [&](std::size_t i, std::size_t j) {
        EXPECT_LT(i, j);
        EXPECT_TRUE(pairs.insert({i, j}).second) << "pair reported twice";
    });
    return pairs;
}

// Points of a coarse lattice (many share an x or a y exactly), each shifted
// by up to a couple of reaches, so pairs straddle column boundaries.
std::vector<PlanePoint> crowded_lattice(std::mt19937& random, double reach) {
    std::uniform_int_distribution<int> cell(0, 6);
    std::uniform_real_distribution<double> shift(-2.0 * reach, 2.0 * reach);
    std::bernoulli_distribution shifted(0.5);
    std::vector<PlanePoint> points;
    for (int k = 0; k < 300; ++k) {
        PlanePoint p{cell(random) * 5.0 * reach, cell(random) * 5.0 * reach};
        if (shifted(random)) p.x += shift(random);
        if (shifted(random)) p.y += shift(random);
        points.push_back(p);
    }
    return points;
}

TEST(ClosePairs, FindsWhatComparingEveryPairFinds) {
    std::mt19937 random(7);
    for (const double reach : {1e-6, 0.5, 3.0}) {
        const std::vector<PlanePoint> points = crowded_lattice(random, reach);
        EXPECT_EQ(sorted_search(points, reach), every_pair_within(points, reach)) << reach;
    }
}

TEST(ClosePairs, CountsAPairAtExactlyTheReachAndSkipsNonFinitePoints) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<PlanePoint> points{{0.0, 0.0}, {0.25, 0.0}, {nan, 0.0},
                                         {0.0, inf}, {0.0, 0.25}, {0.3, 0.3}};
    EXPECT_EQ(sorted_search(points, 0.25), (Pairs{{0, 1}, {0, 4}}));
}

}  // namespace
}  // namespace ovralis
