// The conflict judge against the direct test at the exact mean point spacing,
// for errors on both sides of the tolerance and between the spacing's bounds.

#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "residual/geometric_error.hpp"
#include "solver/convergence_judge.hpp"
#include "solver/normalisation.hpp"
#include "validation/conflict_judge.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

class ConflictJudgeCase : public testing::TestWithParam<double> {};

// A Distance off by `ratio` times the tolerance at the exact spacing, and an
// Angle off by the same ratio times tol radians, on scattered points.
TEST_P(ConflictJudgeCase, AgreesWithTheExactSpacing) {
    const double ratio = GetParam();
    const double tol = 1e-3;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> coordinate(-5.0, 5.0);
    Sketch sketch;
    for (int i = 0; i < 12; ++i) sketch.point(coordinate(random), coordinate(random));
    const System plain = sketch;
    const double scale = length_scale(plain);
    const double tolerance = geometric_tolerance(plain, tol, scale);
    const double length =
        std::hypot(plain.points[0].x - plain.points[1].x, plain.points[0].y - plain.points[1].y);
    sketch.constrain(K::Distance, {0, 1}, {length + ratio * tolerance * scale});
    const Index l1 = sketch.line(2, 3);
    const Index l2 = sketch.line(4, 5);
    System system = sketch;
    const auto direction = [&](int a, int b) {
        return std::atan2(system.points[b].y - system.points[a].y,
                          system.points[b].x - system.points[a].x);
    };
    const double between =
        std::abs(std::remainder(direction(4, 5) - direction(2, 3), 2 * 3.141592653589793));
    system.constraints.push_back(constraint(
        K::Angle, {l1, l2}, {(between + ratio * tolerance) * 180.0 / 3.141592653589793}));

    ConflictJudge judge(system, tol);
    for (const Constraint& c : system.constraints) {
        const bool direct = std::abs(geometric_error(system, c, scale)) <= tolerance;
        EXPECT_EQ(judge.holds(c), direct) << kind_name(c);
        EXPECT_EQ(direct, ratio <= 1.0) << kind_name(c);
    }
}

INSTANTIATE_TEST_SUITE_P(ErrorsAgainstTolerance, ConflictJudgeCase,
                         testing::Values(0.0, 0.5, 0.9, 0.999, 1.001, 1.1, 1.9, 2.5, 10.0));

}  // namespace
}  // namespace ovralis
