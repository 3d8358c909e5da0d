// The LU of square Jacobians against Eigen's dense LU, on the patterns of
// real sketches, through refactorisations and pattern changes, and its
// refusal of Jacobians it cannot invert.

#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <Eigen/Dense>

#include "jacobian/square_jacobian_factor.hpp"

namespace ovralis {
namespace {

constexpr double kPivotRatio = 1e-12;

using Rows = std::vector<std::vector<int>>;  // the columns each Jacobian row reads

// Holes in a grid, each placed by distances to its left and lower
// neighbours and sized by its radius: block triangular with 2 x 2 blocks once
// permuted, the rows listed radius first so that no block sits on the
// diagonal as given.
Rows holes_hole_to_hole(int columns, int rows) {
    Rows jacobian_rows;
    const auto x = [](int hole) { return 3 * hole; };
    for (int hole = 0; hole < columns * rows; ++hole) {
        const int left = hole % columns == 0 ? -1 : hole - 1;
        const int lower = hole < columns ? -1 : hole - columns;
        jacobian_rows.push_back({x(hole) + 2});
        for (int neighbour : {left, lower}) {
            if (neighbour < 0) {
                jacobian_rows.push_back({x(hole), x(hole) + 1});
            } else {
                jacobian_rows.push_back({x(hole), x(hole) + 1, x(neighbour), x(neighbour) + 1});
            }
        }
    }
    return jacobian_rows;
}

// A closed ring of bars with one point pinned: a single strongly connected
// block, which the block triangular form cannot split.
Rows closed_ring(int points) {
    Rows rows = {{0}, {1}};
    for (int i = 0; i + 1 < points; ++i) rows.push_back({2 * i, 2 * i + 1, 2 * i + 2, 2 * i + 3});
    rows.push_back({0, 1, 2 * points - 2, 2 * points - 1});
    for (int i = 1; i + 1 < points; ++i) rows.push_back({2 * i - 1, 2 * i + 1, 2 * i + 3});
    return rows;
}

Eigen::SparseMatrix<double> random_jacobian(const Rows& rows, int columns, std::mt19937& rng) {
    std::uniform_real_distribution<double> value(0.5, 2.0);
    std::bernoulli_distribution negative(0.5);
    std::vector<Eigen::Triplet<double>> triplets;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int c : rows[r]) {
            triplets.emplace_back(static_cast<int>(r), c, negative(rng) ? -value(rng) : value(rng));
        }
    }
    Eigen::SparseMatrix<double> jacobian(static_cast<Eigen::Index>(rows.size()), columns);
    jacobian.setFromTriplets(triplets.begin(), triplets.end());
    jacobian.makeCompressed();
    return jacobian;
}

struct Pattern {
    const char* name;
    Rows rows;
    int columns;
};

class SquareJacobianFactorTest : public ::testing::TestWithParam<Pattern> {};

// One factor serves every trial, as in a solve: the pattern stays, the
// values change, so every trial after the first refactorises. Each solve
// must match the dense LU of the current values to the rounding their
// condition number allows.
TEST_P(SquareJacobianFactorTest, SolvesMatchDenseLu) {
    std::mt19937 rng(11);
    const Pattern& pattern = GetParam();
    SquareJacobianFactor factor;
    int answered = 0;
    for (int trial = 0; trial < 4; ++trial) {
        const Eigen::SparseMatrix<double> jacobian =
            random_jacobian(pattern.rows, pattern.columns, rng);
        const Eigen::MatrixXd dense(jacobian);
        const Eigen::PartialPivLU<Eigen::MatrixXd> lu(dense);
        const double condition = lu.rcond() > 0.0 ? 1.0 / lu.rcond() : 1e300;
        if (!factor.factorise(jacobian, kPivotRatio)) {
            EXPECT_GT(condition, 1e8) << "refused a well conditioned J, trial " << trial;
            continue;
        }
        ++answered;
        const Eigen::VectorXd b = Eigen::VectorXd::Random(jacobian.rows());
        Eigen::VectorXd solved = b;
        factor.solve(solved);
        Eigen::VectorXd transposed = b;
        factor.transpose_solve(transposed);
        const Eigen::VectorXd expected = lu.solve(b);
        const Eigen::VectorXd expected_transposed = lu.transpose().solve(b);
        const double allowed = 1e-13 * condition;
        EXPECT_LE((solved - expected).norm(), allowed * expected.norm()) << "trial " << trial;
        EXPECT_LE((transposed - expected_transposed).norm(), allowed * expected_transposed.norm())
            << "trial " << trial;
    }
    EXPECT_GT(answered, 0);
}

INSTANTIATE_TEST_SUITE_P(Sketches, SquareJacobianFactorTest,
                         ::testing::Values(Pattern{"holes", holes_hole_to_hole(4, 3), 36},
                                           Pattern{"ring", closed_ring(7), 14}),
                         [](const ::testing::TestParamInfo<Pattern>& info) {
                             return std::string(info.param.name);
                         });

// A factor made for one pattern takes another correctly: the ordering is
// made afresh, not applied to the wrong entries.
TEST(SquareJacobianFactor, FollowsAChangeOfPattern) {
    std::mt19937 rng(5);
    SquareJacobianFactor factor;
    for (const Pattern& pattern :
         {Pattern{"holes", holes_hole_to_hole(3, 3), 27}, Pattern{"ring", closed_ring(5), 10},
          Pattern{"holes", holes_hole_to_hole(2, 4), 24}}) {
        const Eigen::SparseMatrix<double> jacobian =
            random_jacobian(pattern.rows, pattern.columns, rng);
        ASSERT_TRUE(factor.factorise(jacobian, kPivotRatio)) << pattern.name;
        const Eigen::VectorXd b = Eigen::VectorXd::Random(jacobian.rows());
        Eigen::VectorXd solved = b;
        factor.solve(solved);
        EXPECT_LE((jacobian * solved - b).norm(), 1e-10 * b.norm()) << pattern.name;
    }
}

// A refactorisation keeps the old pivot sequence; where the new values make
// one of those pivots vanish, the pivots are chosen afresh instead of the
// Jacobian being refused.
TEST(SquareJacobianFactor, ChoosesPivotsAfreshWhenTheOldOnesVanish) {
    SquareJacobianFactor factor;
    Eigen::MatrixXd first(2, 2);
    first << 1.0, 0.1, 0.1, 1.0;
    ASSERT_TRUE(factor.factorise(first.sparseView(), kPivotRatio));
    Eigen::MatrixXd second(2, 2);
    second << 1e-20, 1.0, 1.0, 1.0;
    Eigen::SparseMatrix<double> jacobian = second.sparseView();
    jacobian.makeCompressed();
    ASSERT_TRUE(factor.factorise(jacobian, kPivotRatio));
    const Eigen::Vector2d b(1.0, 2.0);
    Eigen::VectorXd solved = b;
    factor.solve(solved);
    EXPECT_LE((solved - second.partialPivLu().solve(b)).norm(), 1e-14);
}

struct Refused {
    const char* name;
    Eigen::MatrixXd jacobian;
};

class RefusedJacobianTest : public ::testing::TestWithParam<Refused> {};

// What the factor cannot invert it refuses, even when an earlier Jacobian of
// the same shape factorised (and left its pivot sequence to reuse).
TEST_P(RefusedJacobianTest, IsRefused) {
    SquareJacobianFactor factor;
    const Eigen::MatrixXd& dense = GetParam().jacobian;
    if (dense.rows() == dense.cols()) {
        const Eigen::MatrixXd regular =
            dense + Eigen::MatrixXd::Identity(dense.rows(), dense.cols());
        ASSERT_TRUE(factor.factorise(regular.sparseView(), kPivotRatio));
    }
    Eigen::SparseMatrix<double> jacobian = dense.sparseView();
    jacobian.makeCompressed();
    EXPECT_FALSE(factor.factorise(jacobian, kPivotRatio));
}

Eigen::MatrixXd matrix(int rows, int columns, std::initializer_list<double> values) {
    Eigen::MatrixXd m(rows, columns);
    auto it = values.begin();
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) m(r, c) = *it++;
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    Jacobians, RefusedJacobianTest,
    ::testing::Values(
        // More equations than unknowns, and fewer.
        Refused{"over_determined", matrix(3, 2, {1, 0, 0, 1, 1, 1})},
        Refused{"under_determined", matrix(2, 3, {1, 0, 1, 0, 1, 1})},
        // A variable that no equation reads.
        Refused{"structurally_singular", matrix(3, 3, {1, 0, 0, 2, 0, 1, 0, 0, 3})},
        // Two equations that say the same thing.
        Refused{"repeated_equation", matrix(3, 3, {1, 2, 0, 0, 1, 1, 1, 2, 0})},
        // Independent only below rounding.
        Refused{"nearly_dependent", matrix(2, 2, {1, 1, 1, 1 + 1e-15})}),
    [](const ::testing::TestParamInfo<Refused>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ovralis
