// The all-pairs distance sum: the same bits on any number of threads, and the
// exact sum to within rounding.
#include <bit>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "solver/pair_distance_sum.hpp"

namespace ovralis {
namespace {

struct PointCloud {
    const char* name;
    std::size_t points;
    double centre;  // every point lies near (centre, -centre)
    double spread;
};

void PrintTo(const PointCloud& cloud, std::ostream* out) { *out << cloud.name; }

// The sum over every pair in extended precision, one pair at a time.
long double reference_sum(const std::vector<double>& xs, const std::vector<double>& ys) {
    long double sum = 0.0L;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        for (std::size_t j = i + 1; j < xs.size(); ++j) {
            const long double dx = static_cast<long double>(xs[j]) - xs[i];
            const long double dy = static_cast<long double>(ys[j]) - ys[i];
            sum += std::sqrt(dx * dx + dy * dy);
        }
    }
    return sum;
}

class PairDistanceSumTest : public ::testing::TestWithParam<PointCloud> {};

TEST_P(PairDistanceSumTest, SameBitsOnAnyThreadCountAndExactToRounding) {
    const PointCloud cloud = GetParam();
    std::mt19937 rng(static_cast<unsigned>(cloud.points));
    std::uniform_real_distribution<double> offset(-cloud.spread, cloud.spread);
    std::vector<double> xs(cloud.points);
    std::vector<double> ys(cloud.points);
    for (std::size_t i = 0; i < cloud.points; ++i) {
        xs[i] = cloud.centre + offset(rng);
        ys[i] = -cloud.centre + offset(rng);
    }

    const double on_one = pair_distance_sum(xs, ys, 1);
    // More threads than chunks, too: the spare ones must find nothing to do.
    for (unsigned threads : {2u, 3u, 7u, 64u}) {
        EXPECT_EQ(std::bit_cast<std::uint64_t>(pair_distance_sum(xs, ys, threads)),
                  std::bit_cast<std::uint64_t>(on_one))
            << threads << " threads";
    }
    const long double exact = reference_sum(xs, ys);
    EXPECT_LE(std::abs(static_cast<long double>(on_one) - exact), 1e-12L * exact);
}

// Point counts that leave the SIMD kernel a remainder, one chunk and many.
INSTANTIATE_TEST_SUITE_P(Clouds, PairDistanceSumTest,
                         ::testing::Values(PointCloud{"two", 2, 0.0, 1.0},
                                           PointCloud{"one_chunk", 301, 3.0, 50.0},
                                           PointCloud{"many_chunks", 3001, 0.0, 1000.0},
                                           PointCloud{"far_from_origin", 2047, 1e6, 0.5}),
                         [](const auto& info) { return std::string(info.param.name); });

// Coincident points (a squared distance of zero, whose 1 / sqrt is infinite),
// and distances so small that 1 / sqrt of their square is near the largest
// doubles.
TEST(PairDistanceSum, ZeroAndTinyDistancesAreExact) {
    std::vector<double> xs(40, 0.0);
    std::vector<double> ys(40, 0.0);
    EXPECT_EQ(pair_distance_sum(xs, ys, 1), 0.0);
    for (std::size_t i = 0; i < xs.size(); i += 2) xs[i] += 1e-150;
    const long double exact = reference_sum(xs, ys);
    EXPECT_GT(exact, 0.0L);
    EXPECT_LE(std::abs(static_cast<long double>(pair_distance_sum(xs, ys, 1)) - exact),
              1e-12L * exact);
}

TEST(PairDistanceSum, FewerThanTwoPointsHaveNoPairs) {
    const std::vector<double> one{4.0};
    EXPECT_EQ(pair_distance_sum({}, {}, 3), 0.0);
    EXPECT_EQ(pair_distance_sum(one, one, 3), 0.0);
}

// Polled on the calling thread between chunks while chunks remain: the
// answer true stops every thread and throws; a one-chunk sum never polls.
TEST(PairDistanceSum, StopsWhenThePollSaysSo) {
    // Hundreds of chunks, so the calling thread finishes three of them even
    // when a loaded machine lets the other threads run far ahead of it.
    std::vector<double> xs(20000);
    std::vector<double> ys(20000);
    for (std::size_t i = 0; i < xs.size(); ++i) {
        xs[i] = static_cast<double>(i);
        ys[i] = static_cast<double>(i % 17);
    }
    for (const unsigned threads : {1u, 4u}) {
        int polled = 0;
        const InterruptPoll stop_on_third = [&] { return ++polled == 3; };
        EXPECT_THROW(pair_distance_sum(xs, ys, threads, stop_on_third), SolveInterrupted);
        EXPECT_EQ(polled, 3) << threads;
        int never = 0;
        const InterruptPoll keep_going = [&] { return ++never < 0; };
        EXPECT_EQ(pair_distance_sum(xs, ys, threads, keep_going), pair_distance_sum(xs, ys, 1));
        EXPECT_GT(never, 0);
    }
    const std::vector<double> few{0.0, 1.0, 3.0};
    const InterruptPoll always = [] { return true; };
    EXPECT_EQ(pair_distance_sum(few, few, 2, always), pair_distance_sum(few, few, 1));
}

}  // namespace
}  // namespace ovralis
