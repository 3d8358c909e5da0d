// The fill-reducing factorisation against the pivoted elimination it stands
// in for, on normal matrices with the couplings of real sketches.

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include "jacobian/shifted_cholesky.hpp"
#include "jacobian/sparse_elimination.hpp"

namespace ovralis {
namespace {

constexpr double kThreshold = 1e-12;
constexpr double kFloor = 1e3 * kThreshold;

using Rows = std::vector<std::vector<int>>;  // the columns each Jacobian row reads

// A chain of n gears: centres (2 columns each) first, radii after all of
// them; each tangency reads two centres and two radii, each radius dimension
// one radius.
Rows gear_chain(int n) {
    Rows rows;
    for (int i = 0; i < n; ++i) {
        const int radius = 2 * n + i;
        rows.push_back({radius});
        if (i > 0) rows.push_back({2 * i - 2, 2 * i - 1, 2 * i, 2 * i + 1, radius - 1, radius});
        if (i > 0) rows.push_back({2 * i - 1, 2 * i + 1});
    }
    return rows;
}

// A plate: four corner points (columns 0-7) pinned by bars, then holes, each
// dimensioned from two of the plate's corners and sized by its radius.
Rows plate_with_holes(int holes) {
    Rows rows = {{0, 1}, {0, 1, 2, 3}, {2, 3, 4, 5}, {4, 5, 6, 7}, {6, 7, 0, 1}, {1, 3}, {0, 2, 4, 6}, {1, 5}};
    const int first_radius = 8 + 2 * holes;
    for (int h = 0; h < holes; ++h) {
        const int x = 8 + 2 * h;
        rows.push_back({x, x + 1, 0, 1});
        rows.push_back({x, x + 1, 2 * (h % 3 + 1), 2 * (h % 3 + 1) + 1});
        rows.push_back({first_radius + h});
    }
    return rows;
}

// Fewer equations than variables: a chain of bars, free to swing.
Rows swinging_chain(int links) {
    Rows rows;
    for (int i = 0; i < links; ++i) rows.push_back({2 * i, 2 * i + 1, 2 * i + 2, 2 * i + 3});
    return rows;
}

Eigen::SparseMatrix<double> random_jacobian(const Rows& rows, std::mt19937& rng) {
    std::uniform_real_distribution<double> value(-2.0, 2.0);
    std::vector<Eigen::Triplet<double>> triplets;
    int columns = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int c : rows[r]) {
            triplets.emplace_back(static_cast<int>(r), c, value(rng));
            columns = std::max(columns, c + 1);
        }
    }
    Eigen::SparseMatrix<double> jacobian(static_cast<Eigen::Index>(rows.size()), columns);
    jacobian.setFromTriplets(triplets.begin(), triplets.end());
    return jacobian;
}

struct Family {
    const char* name;
    Rows rows;
};

class ShiftedCholeskyTest : public ::testing::TestWithParam<Family> {};

// Wherever the factorisation answers, it agrees with the elimination to the
// rounding the condition number allows; it declines only below its floor.
TEST_P(ShiftedCholeskyTest, AgreesWithPivotedElimination) {
    std::mt19937 rng(7);
    ShiftedCholesky cholesky;  // one object: its analysis is reused across shifts and values
    SparseEliminationWork work;
    int answered = 0;
    for (double shift : {1e-2, 1e-4, 1e-7, 1e-10, 1e-12}) {
        const Eigen::SparseMatrix<double> jacobian = random_jacobian(GetParam().rows, rng);
        const Eigen::SparseMatrix<double> normal = jacobian.transpose() * jacobian;
        const Eigen::VectorXd b = jacobian.transpose() * Eigen::VectorXd::Random(jacobian.rows());

        const auto step = cholesky.solve(normal, shift, b, kFloor);
        const Eigen::SparseMatrix<double, Eigen::RowMajor> rows = normal;
        const Eigen::VectorXd expected = solve_sparse_with_partial_pivoting(rows, shift, b, kThreshold, work);

        Eigen::MatrixXd dense = Eigen::MatrixXd(normal);
        dense.diagonal().array() += shift;
        const Eigen::VectorXd eigenvalues = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(dense).eigenvalues();
        if (!step) {
            EXPECT_LT(eigenvalues.minCoeff(), 1e3 * kFloor) << "declined a well-conditioned matrix, shift " << shift;
            continue;
        }
        ++answered;
        const double condition = eigenvalues.maxCoeff() / eigenvalues.minCoeff();
        const double scale = std::max(1.0, expected.lpNorm<Eigen::Infinity>());
        EXPECT_LE((*step - expected).lpNorm<Eigen::Infinity>(), 1e-13 * condition * scale)
            << "shift " << shift << ", condition " << condition;
    }
    EXPECT_GE(answered, 2);
}

INSTANTIATE_TEST_SUITE_P(Sketches, ShiftedCholeskyTest,
                         ::testing::Values(Family{"gears", gear_chain(40)},
                                           Family{"plate", plate_with_holes(30)},
                                           Family{"swinging", swinging_chain(25)}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShiftedCholesky, DeclinesNonFiniteMatricesAndSingularOnesWithoutShift) {
    std::mt19937 rng(3);
    const Eigen::SparseMatrix<double> jacobian = random_jacobian(swinging_chain(6), rng);
    Eigen::SparseMatrix<double> normal = jacobian.transpose() * jacobian;
    const Eigen::VectorXd b = Eigen::VectorXd::Ones(normal.rows());
    ShiftedCholesky cholesky;
    EXPECT_FALSE(cholesky.solve(normal, 0.0, b, kFloor));
    normal.valuePtr()[0] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(cholesky.solve(normal, 1.0, b, kFloor));
}

// A new pattern (another sketch in the same object) is analysed afresh.
TEST(ShiftedCholesky, ReanalysesWhenThePatternChanges) {
    std::mt19937 rng(5);
    ShiftedCholesky cholesky;
    for (const Rows& rows : {gear_chain(5), plate_with_holes(4), gear_chain(5)}) {
        const Eigen::SparseMatrix<double> jacobian = random_jacobian(rows, rng);
        const Eigen::SparseMatrix<double> normal = jacobian.transpose() * jacobian;
        const Eigen::VectorXd b = Eigen::VectorXd::Random(normal.rows());
        const auto step = cholesky.solve(normal, 1e-3, b, kFloor);
        ASSERT_TRUE(step);
        Eigen::MatrixXd dense = Eigen::MatrixXd(normal);
        dense.diagonal().array() += 1e-3;
        EXPECT_LE((dense * *step - b).lpNorm<Eigen::Infinity>(), 1e-9);
    }
}

}  // namespace
}  // namespace ovralis
