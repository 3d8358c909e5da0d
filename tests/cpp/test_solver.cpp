// The solve step and engine, Levenberg-Marquardt and normalisation, checked
// against geometry computed here rather than the module's own residuals.

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <Eigen/Dense>

#include "residual/residual.hpp"
#include "solver/normalisation.hpp"
#include "solver/problem.hpp"
#include "solver/solve.hpp"
#include "system/errors.hpp"
#include "system/store.hpp"
#include "system/variable_layout.hpp"

#include "support/sketch_builder.hpp"

namespace ovralis {
namespace {

using K = ConstraintKind;

double distance(const System& s, Index a, Index b) {
    return std::hypot(s.points[a].x - s.points[b].x, s.points[a].y - s.points[b].y);
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A triangle 0-1-2 with sides 3, 4, 5, point 0 fixed, side 0-1 horizontal.
System triangle() {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 2.5, 0.7, false);
    add_point(s, 0.4, 3.6, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {3.0}));
    add_constraint(s, constraint(K::Distance, {1, 2}, {5.0}));
    add_constraint(s, constraint(K::Distance, {0, 2}, {4.0}));
    add_constraint(s, constraint(K::Horizontal, {0, 1}));
    return s;
}

TEST(Solve, TriangleMeetsItsSides) {
    System s = triangle();
    const SolveResult result = solve(s, 200, 1e-10);
    ASSERT_TRUE(result.converged);
    EXPECT_NEAR(distance(s, 0, 1), 3.0, 1e-9);
    EXPECT_NEAR(distance(s, 1, 2), 5.0, 1e-9);
    EXPECT_NEAR(distance(s, 0, 2), 4.0, 1e-9);
    EXPECT_EQ(s.points[1].y, s.points[0].y);
    EXPECT_LT(result.max_residual, 1e-8);
}

// The count is the number of steps taken, refinement included: a budget of
// that many gives the same answer bit for bit; one iteration is not enough.
TEST(Solve, IterationsAreThoseTaken) {
    System s = triangle();
    const SolveResult result = solve(s, 200, 1e-10);
    ASSERT_TRUE(result.converged);
    ASSERT_GT(result.iterations, 1u);
    EXPECT_LT(result.iterations, 200u);

    System exact = triangle();
    EXPECT_TRUE(solve(exact, result.iterations, 1e-10).converged);
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        EXPECT_TRUE(same_bits(exact.points[i].x, s.points[i].x));
        EXPECT_TRUE(same_bits(exact.points[i].y, s.points[i].y));
    }
    System short_of_it = triangle();
    const SolveResult limited = solve(short_of_it, 1, 1e-10);
    EXPECT_FALSE(limited.converged);
    EXPECT_GE(limited.iterations, 1u);
    EXPECT_LE(limited.iterations, 2u);  // the method's one and the recovery's one
}

struct SelectedMethod {
    const char* name;
    SolveMethod method;
    bool sparse_solver;
};

class EngineSelectsMethod : public ::testing::TestWithParam<SelectedMethod> {};

// The selector reaches each method, and each ends on the geometry.
TEST_P(EngineSelectsMethod, SolvesTheTriangle) {
    System s = triangle();
    s.sparse_solver = GetParam().sparse_solver;
    const SolveReport report = solve_engine(s, 200, GetParam().method, 1e-10);
    ASSERT_TRUE(report.converged);
    EXPECT_NEAR(distance(s, 0, 1), 3.0, 1e-8);
    EXPECT_NEAR(distance(s, 1, 2), 5.0, 1e-8);
    EXPECT_NEAR(distance(s, 0, 2), 4.0, 1e-8);
    EXPECT_EQ(s.points[0].x, 0.0);
    EXPECT_EQ(s.points[1].y, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Methods, EngineSelectsMethod,
                         ::testing::Values(SelectedMethod{"lm", SolveMethod::Automatic, false},
                                           SelectedMethod{"sparse_lm", SolveMethod::Automatic,
                                                          true},
                                           SelectedMethod{"dogleg", SolveMethod::DogLeg, false},
                                           SelectedMethod{"bfgs", SolveMethod::Bfgs, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Distances of 200 and 400 that cannot both hold, far from the origin so that
// normalised values would be unmistakable: no method ever ends on it.
System contradiction_far_away() {
    System s;
    add_point(s, 1000.0, 500.0, true);
    add_point(s, 1250.0, 530.0, false);
    add_point(s, 1100.0, 620.0, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {200.0}));
    add_constraint(s, constraint(K::Distance, {0, 1}, {400.0}));
    add_constraint(s, constraint(K::Horizontal, {1, 2}));
    add_constraint(s, constraint(K::Distance, {1, 2}, {120.0}));
    return s;
}

class Interruption : public ::testing::TestWithParam<SelectedMethod> {};

// A poll that asks to stop on its n-th call ends every method with
// SolveInterrupted, the store back in the caller's units at a consistent point.
TEST_P(Interruption, StopsAndLeavesTheStoreConsistent) {
    for (const int calls : {1, 2, 7, 40}) {
        System s = contradiction_far_away();
        s.sparse_solver = GetParam().sparse_solver;
        const System before = s;
        int polled = 0;
        const InterruptPoll poll = [&] { return ++polled >= calls; };
        EXPECT_THROW(solve_engine(s, std::uint64_t{1} << 40, GetParam().method, 1e-10, poll),
                     SolveInterrupted)
            << calls;
        EXPECT_EQ(polled, calls);
        EXPECT_TRUE(same_bits(s.points[0].x, before.points[0].x));
        EXPECT_TRUE(same_bits(s.points[0].y, before.points[0].y));
        for (std::size_t i = 0; i < s.constraints.size(); ++i) {
            EXPECT_TRUE(same_bits(s.constraints[i].value[0], before.constraints[i].value[0]));
        }
        EXPECT_EQ(s.points[2].y, s.points[1].y);  // the equality propagated
        // In caller units the compromise lies between the two distances.
        EXPECT_GT(distance(s, 0, 1), 150.0) << calls;
        EXPECT_LT(distance(s, 0, 1), 450.0) << calls;
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, Interruption,
                         ::testing::Values(SelectedMethod{"lm", SolveMethod::Automatic, false},
                                           SelectedMethod{"sparse_lm", SolveMethod::Automatic,
                                                          true},
                                           SelectedMethod{"dogleg", SolveMethod::DogLeg, false},
                                           SelectedMethod{"bfgs", SolveMethod::Bfgs, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Solve, NoConstraints) {
    System s;
    add_point(s, 1.0, 2.0, false);
    add_point(s, 4.0, 6.0, false);
    const SolveResult result = solve(s, 200, 1e-8);
    EXPECT_TRUE(result.converged);
    EXPECT_EQ(result.iterations, 0u);
    EXPECT_EQ(result.max_residual, 0.0);
    EXPECT_TRUE(std::signbit(result.residual_cost));
}

TEST(Solve, AlreadySatisfiedTakesNoIteration) {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 3.0, 4.0, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {5.0}));
    const SolveResult result = solve(s, 200, 1e-8);
    EXPECT_TRUE(result.converged);
    EXPECT_EQ(result.iterations, 0u);
}

struct ZeroIterationCase {
    double d;
    bool converged;
};

class ZeroIterations : public ::testing::TestWithParam<ZeroIterationCase> {};

TEST_P(ZeroIterations, RunNothingAndJudgeTheStart) {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 3.0, 4.0, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {GetParam().d}));
    const SolveResult result = solve(s, 0, 1e-8);
    EXPECT_EQ(result.converged, GetParam().converged);
    EXPECT_EQ(result.iterations, 0u);
    EXPECT_NEAR(s.points[1].x, 3.0, 1e-15);
    EXPECT_NEAR(s.points[1].y, 4.0, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(MaxIterZero, ZeroIterations,
                         ::testing::Values(ZeroIterationCase{5.0, true},
                                           ZeroIterationCase{6.0, false}));

TEST(Solve, NoFreeVariables) {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 3.0, 4.0, true);
    add_constraint(s, constraint(K::Distance, {0, 1}, {5.0}));
    EXPECT_TRUE(solve(s, 200, 1e-8).converged);

    s.constraints[0].value[0] = 6.0;
    const SolveReport report = solve_engine(s, 200, SolveMethod::Automatic, 1e-8);
    EXPECT_FALSE(report.converged);
    EXPECT_EQ(report.outcome, SolveOutcome::NoFreeVariablesNotSatisfied);
    EXPECT_EQ(report.iterations, 0u);
}

TEST(Solve, NonFiniteEndsWithoutConverging) {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 3.0, 4.0, false);
    const double infinity = std::numeric_limits<double>::infinity();
    add_constraint(s, constraint(K::Distance, {0, 1}, {infinity}));
    const SolveReport report = solve_engine(s, 200, SolveMethod::Automatic, 1e-8);
    EXPECT_FALSE(report.converged);
    EXPECT_EQ(report.outcome, SolveOutcome::NonFinite);
    EXPECT_EQ(s.points[1].x, 3.0);  // back in the caller's units
    EXPECT_EQ(s.points[1].y, 4.0);
}

// A NaN coordinate must not spread through the scale to the whole sketch.
TEST(Solve, NaNCoordinateLeavesOtherPointsAlone) {
    System s;
    add_point(s, 1.0, 1.0, false);
    add_point(s, std::nan(""), 0.0, false);
    add_point(s, 7.0, 2.0, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {1.0}));
    const SolveResult result = solve(s, 50, 1e-8);
    EXPECT_FALSE(result.converged);
    EXPECT_EQ(s.points[2].x, 7.0);
    EXPECT_EQ(s.points[2].y, 2.0);
}

// Two fixed points at different heights, made equal by Horizontal through a
// free point: the method meets its reduced residual, the full one fails.
TEST(Solve, ConflictingFixedValuesInAnEqualityDoNotConverge) {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 4.0, 0.5, false);
    add_point(s, 10.0, 1.0, true);
    add_constraint(s, constraint(K::Horizontal, {0, 1}));
    add_constraint(s, constraint(K::Horizontal, {1, 2}));
    add_constraint(s, constraint(K::Distance, {0, 1}, {5.0}));
    const SolveReport report = solve_engine(s, 200, SolveMethod::Automatic, 1e-8);
    EXPECT_FALSE(report.converged);
    EXPECT_EQ(report.outcome, SolveOutcome::ConstraintsNotSatisfied);
    EXPECT_EQ(s.points[2].y, 1.0);
    EXPECT_NEAR(distance(s, 0, 1), 5.0, 1e-7);
}

TEST(Solve, InconsistentDistancesDoNotConverge) {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 3.0, 1.0, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {3.0}));
    add_constraint(s, constraint(K::Distance, {0, 1}, {5.0}));
    const SolveReport report = solve_engine(s, 100, SolveMethod::Automatic, 1e-8);
    EXPECT_FALSE(report.converged);
    // At the compromise the gradient vanishes, so steps keep being accepted
    // until the iterations run out, then the recovery's as well.
    EXPECT_EQ(report.outcome, SolveOutcome::IterationLimit);
    EXPECT_GT(report.iterations, 100u);
    EXPECT_LE(report.iterations, 200u);
    EXPECT_NEAR(distance(s, 0, 1), 4.0, 1e-6);  // the least-squares compromise
}

// Redundant and under-determined systems still step: damping regularises.
TEST(Solve, UnderConstrainedSketchConverges) {
    System s;
    for (int i = 0; i < 6; ++i) add_point(s, i * 1.3, (i % 2) * 0.7, false);
    for (Index i = 0; i + 1 < 6; ++i) {
        add_constraint(s, constraint(K::Distance, {i, i + 1}, {2.0}));
    }
    add_constraint(s, constraint(K::Distance, {0, 1}, {2.0}));  // repeated
    const SolveResult result = solve(s, 200, 1e-10);
    ASSERT_TRUE(result.converged);
    for (Index i = 0; i + 1 < 6; ++i) EXPECT_NEAR(distance(s, i, i + 1), 2.0, 1e-9);
}

TEST(Solve, BadReferenceChangesNothing) {
    System s = triangle();
    add_constraint(s, constraint(K::Distance, {0, 7}, {1.0}));
    const System before = s;
    s.scale = 0.25;
    EXPECT_THROW(solve(s, 200, 1e-8), InvalidReference);
    EXPECT_THROW(solve_engine(s, 200, SolveMethod::Automatic, 1e-8), InvalidReference);
    EXPECT_EQ(s.scale, 0.25);
    EXPECT_TRUE(s.layout.variables.empty());
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        EXPECT_TRUE(same_bits(s.points[i].x, before.points[i].x));
        EXPECT_TRUE(same_bits(s.points[i].y, before.points[i].y));
    }
}

// Constraint values and fixed entities come back bit for bit although they
// are divided and multiplied by a scale that does not round-trip them.
TEST(Solve, UserValuesSurviveBitForBit) {
    System s;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> coordinate(-7.3, 11.9);
    const Index fixed = add_point(s, 0.1 + 0.2, 1.0 / 3.0, true);
    for (int i = 0; i < 8; ++i) add_point(s, coordinate(rng), coordinate(rng), false);
    const Index fixed_centre = add_point(s, 2.0 / 7.0, 5.0 / 11.0, true);
    add_circle(s, fixed_centre, 1.0 / 9.0 + 1.0, true);
    add_circle(s, 3, 0.7, false);
    add_arc(s, 4, 5, 6, std::sqrt(2.0), true);
    s.ellipses.push_back(Ellipse{7, 8, std::sqrt(3.0), true});
    for (Index i = 1; i < 8; ++i) {
        add_constraint(s, constraint(K::Distance, {i, i + 1}, {1.0 + coordinate(rng) / 10.0}));
    }
    add_constraint(s, constraint(K::FixedPoint, {1}, {0.7 / 3.0, -1.1 / 7.0}));
    add_constraint(s, constraint(K::CircleRadius, {1}, {0.3 / 7.0 + 1.0}));
    add_constraint(s, constraint(K::Distance, {fixed, 2}, {2.0 / 3.0}));
    const System before = s;

    // Without restoring, some of these values would not come back exactly.
    const double scale = mean_point_spacing(s);
    bool round_trip_differs = false;
    for (const Constraint& c : s.constraints) {
        round_trip_differs =
            round_trip_differs || !same_bits(c.value[0] / scale * scale, c.value[0]);
    }
    ASSERT_TRUE(round_trip_differs);

    solve(s, 30, 1e-10);
    for (std::size_t i = 0; i < s.constraints.size(); ++i) {
        EXPECT_TRUE(same_bits(s.constraints[i].value[0], before.constraints[i].value[0])) << i;
        EXPECT_TRUE(same_bits(s.constraints[i].value[1], before.constraints[i].value[1])) << i;
    }
    for (Index p : {fixed, fixed_centre}) {
        EXPECT_TRUE(same_bits(s.points[p].x, before.points[p].x));
        EXPECT_TRUE(same_bits(s.points[p].y, before.points[p].y));
    }
    EXPECT_TRUE(same_bits(s.circles[0].radius, before.circles[0].radius));
    EXPECT_TRUE(same_bits(s.arcs[0].radius, before.arcs[0].radius));
    EXPECT_TRUE(same_bits(s.ellipses[0].radmin, before.ellipses[0].radmin));
}

// The dense iteration written out step by step: J^T J and J^T r recomputed in
// every attempt, Gauss-Jordan on the augmented matrix. Returns the outcome.
SolveOutcome dense_levenberg_marquardt(Problem& problem, std::uint64_t max_iter, double tol) {
    Eigen::VectorXd x = problem.start();
    const Eigen::Index n = x.size();
    double lambda = 1e-4;
    for (std::uint64_t k = 0; k < max_iter; ++k) {
        const Evaluation current = problem.evaluate(x);
        const Eigen::VectorXd& r = current.residual;
        const double cost = current.cost;
        if (tol > current.max_abs) return SolveOutcome::Converged;
        if (!std::isfinite(cost)) return SolveOutcome::NonFinite;
        const Eigen::VectorXd x_k = x;
        const Eigen::MatrixXd jacobian = Eigen::MatrixXd(problem.jacobian(x));
        bool accepted = false;
        bool saturated = false;
        for (int attempt = 0; attempt < 10; ++attempt) {
            const Eigen::VectorXd b = -(jacobian.transpose() * r);
            Eigen::MatrixXd m(n, n + 1);
            m << jacobian.transpose() * jacobian + lambda * Eigen::MatrixXd::Identity(n, n), b;
            for (Eigen::Index j = 0; j < n; ++j) {
                Eigen::Index best = j;
                for (Eigen::Index i = j + 1; i < n; ++i)
                    if (std::abs(m(i, j)) > std::abs(m(best, j))) best = i;
                m.row(j).swap(m.row(best));
                if (std::abs(m(j, j)) < 1e-12) continue;
                m.row(j) /= m(j, j);
                for (Eigen::Index i = 0; i < n; ++i)
                    if (i != j) m.row(i) -= m(i, j) * m.row(j);
            }
            const Eigen::VectorXd delta = m.col(n);
            if (std::isnan(delta.norm())) return SolveOutcome::NonFinite;
            if (delta.norm() > 1e10) {
                lambda = std::min(2 * lambda, 1e12);
                saturated = saturated || lambda >= 1e12;
                continue;
            }
            const double h = b.dot(delta);
            bool ok = false;
            double alpha = 1.0;
            double cost_try = 0.0;
            for (int trial = 0; trial < 8 && !ok; ++trial, alpha /= 2) {
                const Eigen::VectorXd x_try = x_k + alpha * delta;
                cost_try = problem.cost(x_try);
                ok = std::abs(h) < 1e-30 || cost_try <= cost - 1e-4 * alpha * h || cost_try < cost;
                if (ok) x = x_try;
            }
            if (ok) {
                if (cost_try < cost || !accepted) lambda = std::max(lambda / 3, 1e-12);
                accepted = true;
                continue;
            }
            x = x_k;
            problem.move_to(x);
            lambda = std::min(2 * lambda, 1e12);
            if (lambda >= 1e12) {
                if (accepted) break;
                return SolveOutcome::DampingLimit;
            }
        }
        if (!accepted) {
            x = x_k;
            problem.move_to(x);
            if (saturated) return SolveOutcome::DampingLimit;
        }
    }
    return SolveOutcome::IterationLimit;
}

void prepare(System& s) {
    build_variables(s);
    normalise(s);
    propagate(s);
}

// A fully constrained sketch of circles and lines whose variables interleave,
// started well away from its solution; stopped after a few iterations so
// that the comparison sees the path, not only the end point. (On a
// rank-deficient sketch the two eliminations would agree only up to rounding
// amplified by 1/damping in the free directions.)
System mixed_sketch() {
    System s;
    add_point(s, 0.0, 0.0, true);
    add_point(s, 4.3, 0.9, false);
    add_point(s, 5.2, 3.1, false);
    add_point(s, -0.4, 2.7, false);
    add_point(s, 2.2, 5.5, false);
    add_line(s, 0, 1);
    add_line(s, 1, 2);
    add_line(s, 3, 0);
    add_circle(s, 2, 0.8, false);
    add_circle(s, 4, 1.7, false);
    add_constraint(s, constraint(K::Distance, {0, 1}, {4.0}));
    add_constraint(s, constraint(K::Perpendicular, {0, 1}));
    add_constraint(s, constraint(K::Horizontal, {0, 1}));
    add_constraint(s, constraint(K::CircleCircleTangent, {0, 1}));
    add_constraint(s, constraint(K::CircleRadius, {0}, {1.0}));
    add_constraint(s, constraint(K::Distance, {3, 0}, {2.5}));
    add_constraint(s, constraint(K::PointOnLine, {4, 1}));
    add_constraint(s, constraint(K::Parallel, {2, 1}));
    add_constraint(s, constraint(K::Distance, {2, 4}, {3.0}));
    add_constraint(s, constraint(K::Distance, {3, 4}, {3.5}));
    return s;
}

TEST(LevenbergMarquardt, FollowsTheDenseIteration) {
    for (std::uint64_t iterations : {1u, 2u, 3u, 6u, 40u}) {
        System banded = mixed_sketch();
        System dense = mixed_sketch();
        prepare(banded);
        prepare(dense);
        Problem banded_problem(banded);
        Problem dense_problem(dense);
        const SolveReport report = levenberg_marquardt(banded_problem, iterations, 1e-12);
        EXPECT_EQ(report.outcome, dense_levenberg_marquardt(dense_problem, iterations, 1e-12))
            << iterations;
        const Eigen::VectorXd x = gather(banded);
        const Eigen::VectorXd expected = gather(dense);
        EXPECT_LE((x - expected).lpNorm<Eigen::Infinity>(), 1e-9) << iterations << " iterations";
    }
}

TEST(Normalisation, MeanSpacingIsTheMeanOverAllPairs) {
    for (int n : {0, 1, 2, 3, 9, 17, 40}) {
        System s;
        std::mt19937 rng(static_cast<unsigned>(n));
        std::uniform_real_distribution<double> coordinate(-50.0, 50.0);
        for (int i = 0; i < n; ++i) add_point(s, coordinate(rng), coordinate(rng), false);
        double sum = 0.0;
        int pairs = 0;
        for (int i = 0; i < n; ++i) {
            for (int j = i + 1; j < n; ++j) {
                sum += distance(s, static_cast<Index>(i), static_cast<Index>(j));
                ++pairs;
            }
        }
        const double expected = pairs == 0 ? 0.0 : sum / pairs;
        EXPECT_NEAR(mean_point_spacing(s), expected, 1e-12 * (1.0 + expected)) << n << " points";
    }
}

TEST(Normalisation, DividesLengthsOnly) {
    System s;
    add_point(s, 0.0, 0.0, false);
    add_point(s, 6.0, 8.0, true);
    add_circle(s, 0, 5.0, false);
    add_line(s, 0, 1);
    add_constraint(s, constraint(K::Distance, {0, 1}, {20.0}));
    add_constraint(s, constraint(K::Angle, {0, 0}, {30.0}));
    add_constraint(s, constraint(K::FixedPoint, {1}, {30.0, 40.0}));
    normalise(s);
    EXPECT_EQ(s.scale, 10.0);
    EXPECT_EQ(s.points[1].x, 0.6);
    EXPECT_EQ(s.points[1].y, 0.8);
    EXPECT_EQ(s.circles[0].radius, 0.5);
    EXPECT_EQ(s.constraints[0].value[0], 2.0);
    EXPECT_EQ(s.constraints[1].value[0], 30.0);
    EXPECT_EQ(s.constraints[2].value[0], 3.0);
    EXPECT_EQ(s.constraints[2].value[1], 4.0);
    unnormalise(s);
    EXPECT_EQ(s.points[1].x, 6.0);
    EXPECT_EQ(s.constraints[0].value[0], 20.0);
}

struct ScaleCase {
    std::vector<std::pair<double, double>> points;
    double scale;
};

class ScaleFallback : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleFallback, UsesOne) {
    System s;
    for (const auto& [x, y] : GetParam().points) add_point(s, x, y, false);
    normalise(s);
    EXPECT_EQ(s.scale, GetParam().scale);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleFallback,
    ::testing::Values(ScaleCase{{}, 1.0}, ScaleCase{{{4.0, 4.0}}, 1.0},
                      ScaleCase{{{2.0, 3.0}, {2.0, 3.0}, {2.0, 3.0}}, 1.0},
                      ScaleCase{{{0.0, 0.0}, {1e-13, 0.0}}, 1.0},
                      ScaleCase{{{0.0, 0.0}, {std::numeric_limits<double>::infinity(), 0.0}}, 1.0},
                      ScaleCase{{{0.0, 0.0}, {0.0, 2.0}}, 2.0}));

}  // namespace
}  // namespace ovralis
