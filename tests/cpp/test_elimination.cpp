#include <cmath>
#include <random>
#include <string>

#include <gtest/gtest.h>
#include <Eigen/Dense>
#include <Eigen/SVD>

#include "jacobian/banded_elimination.hpp"
#include "jacobian/sparse_elimination.hpp"

namespace ovralis {
namespace {

constexpr double kThreshold = 1e-12;

// Gauss-Jordan on the dense augmented matrix [a | b], written out as the
// reference: columns in order, the first row with the largest |entry| as
// pivot, columns whose pivot is below the threshold left unreduced, every
// other row cleared; the answer is whatever the last column holds.
Eigen::VectorXd gauss_jordan(const Eigen::MatrixXd& a, const Eigen::VectorXd& b) {
    const Eigen::Index n = a.rows();
    Eigen::MatrixXd m(n, n + 1);
    m << a, b;
    for (Eigen::Index j = 0; j < n; ++j) {
        Eigen::Index best_row = j;
        for (Eigen::Index row = j + 1; row < n; ++row) {
            if (std::abs(m(row, j)) > std::abs(m(best_row, j))) best_row = row;
        }
        m.row(j).swap(m.row(best_row));
        const double pivot = m(j, j);
        if (std::abs(pivot) < kThreshold) continue;
        for (Eigen::Index col = j; col <= n; ++col) m(j, col) /= pivot;
        for (Eigen::Index row = 0; row < n; ++row) {
            if (row == j) continue;
            const double factor = m(row, j);
            for (Eigen::Index col = j; col <= n; ++col) m(row, col) -= factor * m(j, col);
        }
    }
    return m.col(n);
}

Eigen::VectorXd banded_solve(const Eigen::MatrixXd& a, const Eigen::VectorXd& b) {
    Eigen::SparseMatrix<double> sparse = a.sparseView(0.0, 0.0);
    BandedMatrix band = to_banded(sparse);
    return solve_with_partial_pivoting(band, b, kThreshold);
}

Eigen::VectorXd sparse_solve(const Eigen::MatrixXd& a, const Eigen::VectorXd& b) {
    const Eigen::SparseMatrix<double, Eigen::RowMajor> sparse = a.sparseView(0.0, 0.0);
    SparseEliminationWork work;
    return solve_sparse_with_partial_pivoting(sparse, 0.0, b, kThreshold, work);
}

using Solver = Eigen::VectorXd (*)(const Eigen::MatrixXd&, const Eigen::VectorXd&);

struct NamedSolver {
    const char* name;
    Solver solve;
};

constexpr NamedSolver kSolvers[] = {{"banded", banded_solve}, {"sparse", sparse_solve}};

void expect_same_step(const Eigen::MatrixXd& a, const Eigen::VectorXd& b, double tolerance) {
    const Eigen::VectorXd expected = gauss_jordan(a, b);
    for (const NamedSolver& solver : kSolvers) {
        const Eigen::VectorXd actual = solver.solve(a, b);
        ASSERT_EQ(actual.size(), expected.size());
        for (Eigen::Index i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(actual[i], expected[i], tolerance * (1.0 + std::abs(expected[i])))
                << solver.name << ": entry " << i << " of " << expected.size();
        }
    }
}

// A random matrix with `lower` and `upper` non-zero diagonals.
Eigen::MatrixXd random_band(std::mt19937& rng, int n, int lower, int upper) {
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = std::max(0, i - lower); j <= std::min(n - 1, i + upper); ++j)
            a(i, j) = value(rng);
    }
    return a;
}

// Two eliminations of a regular system differ by rounding amplified by the
// condition number, so random systems are compared norm-wise against it.
void expect_same_regular_step(const Eigen::MatrixXd& a, const Eigen::VectorXd& b) {
    const Eigen::JacobiSVD<Eigen::MatrixXd> svd(a);
    const Eigen::VectorXd& sigma = svd.singularValues();
    const double condition = sigma[0] / sigma[sigma.size() - 1];
    const Eigen::VectorXd expected = gauss_jordan(a, b);
    const double scale = std::max(1.0, expected.lpNorm<Eigen::Infinity>());
    for (const NamedSolver& solver : kSolvers) {
        const Eigen::VectorXd actual = solver.solve(a, b);
        EXPECT_LE((actual - expected).lpNorm<Eigen::Infinity>(), 1e-13 * condition * scale)
            << solver.name << ", condition " << condition;
    }
}

Eigen::VectorXd random_vector(std::mt19937& rng, int n) {
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    Eigen::VectorXd v(n);
    for (int i = 0; i < n; ++i) v[i] = value(rng);
    return v;
}

struct BandShape {
    int n;
    int lower;
    int upper;
};

class RandomBandTest : public ::testing::TestWithParam<BandShape> {};

// Unsymmetric bands exercise the widened upper band that row swaps need.
TEST_P(RandomBandTest, MatchesGaussJordan) {
    const BandShape shape = GetParam();
    std::mt19937 rng(1234u + static_cast<unsigned>(shape.n * 31 + shape.lower * 7 + shape.upper));
    for (int trial = 0; trial < 20; ++trial) {
        const Eigen::MatrixXd a = random_band(rng, shape.n, shape.lower, shape.upper);
        expect_same_regular_step(a, random_vector(rng, shape.n));
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RandomBandTest,
                         ::testing::Values(BandShape{1, 0, 0}, BandShape{2, 1, 1},
                                           BandShape{8, 1, 1}, BandShape{30, 3, 3},
                                           BandShape{30, 5, 1}, BandShape{30, 1, 5},
                                           BandShape{25, 24, 24}, BandShape{40, 0, 6},
                                           BandShape{40, 6, 0}));

// Normal matrices of sparse Jacobians plus damping: the shape the solver feeds in.
TEST(BandedElimination, DampedNormalMatricesMatchGaussJordan) {
    std::mt19937 rng(99);
    for (int trial = 0; trial < 20; ++trial) {
        const int n = 40;
        const Eigen::MatrixXd jacobian = random_band(rng, 50, 2, 4).leftCols(n);
        Eigen::MatrixXd a = jacobian.transpose() * jacobian;
        a.diagonal().array() += 1e-4;
        expect_same_regular_step(a, random_vector(rng, n));
    }
}

// Rank-deficient normal matrices without damping: elimination leaves rounding
// noise far below the threshold in the dependent columns, which stay unreduced.
TEST(BandedElimination, RankDeficientMatricesMatchGaussJordan) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 20; ++trial) {
        const int n = 24;
        // Twelve equations on overlapping pairs of variables, like a chain of
        // distances, plus a duplicated variable and untouched trailing ones.
        std::uniform_real_distribution<double> value(-1.0, 1.0);
        Eigen::MatrixXd wide = Eigen::MatrixXd::Zero(12, n);
        for (int row = 0; row < 12; ++row)
            for (int col = row; col < std::min(n - 4, row + 4); ++col) wide(row, col) = value(rng);
        wide.col(5) = wide.col(4);
        const Eigen::MatrixXd a = wide.transpose() * wide;
        expect_same_step(a, random_vector(rng, n), 1e-8);
    }
}

// A variable that no equation touches gives an all-zero row and column: the
// column is left unreduced and the step keeps that row's right-hand side.
TEST(BandedElimination, ZeroColumnKeepsItsRightHandSide) {
    Eigen::MatrixXd a(3, 3);
    a << 2, 0, 1, 0, 0, 0, 1, 0, 3;
    const Eigen::Vector3d b(1, 5, 2);
    const Eigen::VectorXd step = banded_solve(a, b);
    EXPECT_DOUBLE_EQ(step[1], 5.0);
    EXPECT_NEAR(step[0], 0.2, 1e-15);
    EXPECT_NEAR(step[2], 0.6, 1e-15);
    expect_same_step(a, b, 1e-14);
}

// An unreduced row still loses the reduced columns to its right, while the
// rows above ignore the unreduced column's entries.
TEST(BandedElimination, UnreducedRowIsReducedByLaterPivots) {
    Eigen::MatrixXd a(4, 4);
    a << 4, 1, 2, 0, 0, 1e-13, 3, 1, 0, 0, 2, 1, 0, 0, 1, 5;
    const Eigen::Vector4d b(1, 2, 3, 4);
    const Eigen::VectorXd step = banded_solve(a, b);
    // Rows 2 and 3 solve on their own: 2 y + w = 3, y + 5 w = 4.
    const double w = 5.0 / 9.0;
    const double y = (3.0 - w) / 2.0;
    EXPECT_NEAR(step[3], w, 1e-15);
    EXPECT_NEAR(step[2], y, 1e-15);
    EXPECT_NEAR(step[1], 2.0 - 3.0 * y - w, 1e-14);      // not divided by the tiny pivot
    EXPECT_NEAR(step[0], (1.0 - 2.0 * y) / 4.0, 1e-15);  // column 1 counts as zero
    expect_same_step(a, b, 1e-14);
}

// Entries below the threshold in the rows under an unreduced pivot are not
// eliminated and do not disturb the later columns.
TEST(BandedElimination, SmallEntriesUnderUnreducedPivotStay) {
    Eigen::MatrixXd a(4, 4);
    a << 1, 2, 0, 0, 2, 4, 1, 0,  // after column 0, column 1 holds only 0 and 5e-13
        0, 5e-13, 3, 1, 0, 0, 1, 2;
    const Eigen::Vector4d b(1, -1, 2, 0.5);
    expect_same_step(a, b, 1e-13);
}

// With equal magnitudes the first candidate row is the pivot; on a singular
// matrix another choice would give a different step.
TEST(BandedElimination, TiesPickTheFirstRow) {
    Eigen::MatrixXd a(3, 3);
    a << 0, 1, 0, 1, 1, 1, -1, 0, -1;
    const Eigen::Vector3d b(1, 2, 3);
    const Eigen::VectorXd step = banded_solve(a, b);
    // Row 1 pivots column 0, row 0 pivots column 1, column 2 is unreduced and
    // its row keeps 2 + 3 - 1 = 4.
    EXPECT_NEAR(step[0], 1.0, 1e-15);
    EXPECT_NEAR(step[1], 1.0, 1e-15);
    EXPECT_NEAR(step[2], 4.0, 1e-15);
    expect_same_step(a, b, 1e-15);
}

// Small-integer singular matrices: many ties and exactly cancelling pivots.
TEST(BandedElimination, SingularIntegerMatricesMatchGaussJordan) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> entry(-2, 2);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 6;
        Eigen::MatrixXd a(n, n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) a(i, j) = entry(rng);
        a.row(4) = a.row(1) - a.row(2);
        a.col(5) = a.col(0);
        Eigen::VectorXd b(n);
        for (int i = 0; i < n; ++i) b[i] = entry(rng);
        SCOPED_TRACE("trial " + std::to_string(trial));
        expect_same_step(a, b, 1e-9);
    }
}

TEST(BandedElimination, BandWidthFollowsThePattern) {
    Eigen::MatrixXd a = Eigen::MatrixXd::Zero(6, 6);
    a.diagonal().setOnes();
    a(4, 1) = 2.0;  // three below
    a(0, 2) = 3.0;  // two above
    const BandedMatrix band = to_banded(a.sparseView());
    EXPECT_EQ(band.lower, 3);
    EXPECT_EQ(band.upper, 2);
    EXPECT_EQ(band.width(), 9);
    EXPECT_EQ(band.at(4, 1), 2.0);
    EXPECT_EQ(band.at(0, 2), 3.0);
}

TEST(BandedElimination, NaNPivotIsUsedNotSkipped) {
    Eigen::MatrixXd a = Eigen::MatrixXd::Identity(2, 2);
    a(0, 0) = std::nan("");
    for (const NamedSolver& solver : kSolvers) {
        EXPECT_TRUE(std::isnan(solver.solve(a, Eigen::Vector2d(1, 1))[0])) << solver.name;
    }
}

// Point coordinates first, radii after all of them: each radius couples to a
// coordinate half the matrix away, so the fill lies far from the diagonal.
Eigen::MatrixXd far_coupled_normal_matrix(std::mt19937& rng, int half, int rows) {
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    Eigen::MatrixXd jacobian = Eigen::MatrixXd::Zero(rows, 2 * half);
    for (int row = 0; row < rows; ++row) {
        const int k = row % half;
        jacobian(row, k) = value(rng);
        jacobian(row, (k + 1) % half) = value(rng);
        jacobian(row, half + k) = value(rng);
        jacobian(row, half + (k + 1) % half) = value(rng);
    }
    return jacobian.transpose() * jacobian;
}

TEST(BandedElimination, FarCouplingMatchesGaussJordan) {
    std::mt19937 rng(31);
    for (int trial = 0; trial < 10; ++trial) {
        Eigen::MatrixXd damped = far_coupled_normal_matrix(rng, 15, 40);
        damped.diagonal().array() += 1e-3;
        expect_same_regular_step(damped, random_vector(rng, 30));
        // Fewer equations than unknowns and no damping: unreduced columns.
        expect_same_step(far_coupled_normal_matrix(rng, 15, 20), random_vector(rng, 30), 1e-8);
    }
}

// Both eliminations perform the same operations on the same values, the
// damping included (also where the matrix has no diagonal entry).
TEST(BandedElimination, BandedAndSparseAgreeExactly) {
    std::mt19937 rng(8);
    SparseEliminationWork work;  // reused, as the solver does
    for (int trial = 0; trial < 10; ++trial) {
        Eigen::MatrixXd a = random_band(rng, 30, 3, 2);
        a(4, 4) = 0.0;
        a(17, 17) = 0.0;
        const Eigen::VectorXd b = random_vector(rng, 30);
        const double damping = 0.01 * (trial + 1);

        BandedMatrix band = to_banded(a.sparseView(0.0, 0.0));
        add_to_diagonal(band, damping);
        const Eigen::VectorXd banded = solve_with_partial_pivoting(band, b, kThreshold);
        const Eigen::SparseMatrix<double, Eigen::RowMajor> sparse = a.sparseView(0.0, 0.0);
        const Eigen::VectorXd from_sparse =
            solve_sparse_with_partial_pivoting(sparse, damping, b, kThreshold, work);
        for (Eigen::Index i = 0; i < b.size(); ++i) EXPECT_EQ(banded[i], from_sparse[i]) << i;
    }
}

// A chain of gears: centres first, radii after all of them, each tangency
// coupling two neighbouring centres and their radii, optionally every centre's
// y pinned. Eliminating in this order, rows gain fill both just right of the
// pivot column and at their far end, among the radii.
Eigen::MatrixXd gear_chain_normal_matrix(std::mt19937& rng, int gears, bool pinned) {
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    const int tangencies = gears - 1;
    Eigen::MatrixXd jacobian = Eigen::MatrixXd::Zero(tangencies + (pinned ? gears : 0), 3 * gears);
    for (int i = 0; i < tangencies; ++i) {
        for (int column :
             {2 * i, 2 * i + 1, 2 * i + 2, 2 * i + 3, 2 * gears + i, 2 * gears + i + 1}) {
            jacobian(i, column) = value(rng);
        }
    }
    for (int i = 0; pinned && i < gears; ++i) jacobian(tangencies + i, 2 * i + 1) = 1.0;
    return jacobian.transpose() * jacobian;
}

struct GearChainCase {
    int gears;
    double damping;
    bool pinned;
};

class GearChainTest : public ::testing::TestWithParam<GearChainCase> {};

// Where the fill goes in must not change the arithmetic: the sparse rows give
// the banded elimination's bits, and Gauss-Jordan's answer.
TEST_P(GearChainTest, SparseFillGivesTheBandedBitsAndGaussJordansStep) {
    const GearChainCase chain = GetParam();
    std::mt19937 rng(static_cast<unsigned>(chain.gears * 10 + chain.pinned));
    SparseEliminationWork work;  // reused, as the solver does
    for (int trial = 0; trial < 5; ++trial) {
        const Eigen::MatrixXd a = gear_chain_normal_matrix(rng, chain.gears, chain.pinned);
        const Eigen::VectorXd b = random_vector(rng, 3 * chain.gears);

        BandedMatrix band = to_banded(a.sparseView(0.0, 0.0));
        add_to_diagonal(band, chain.damping);
        const Eigen::VectorXd banded = solve_with_partial_pivoting(band, b, kThreshold);
        const Eigen::SparseMatrix<double, Eigen::RowMajor> sparse = a.sparseView(0.0, 0.0);
        const Eigen::VectorXd from_sparse =
            solve_sparse_with_partial_pivoting(sparse, chain.damping, b, kThreshold, work);
        for (Eigen::Index i = 0; i < b.size(); ++i) EXPECT_EQ(banded[i], from_sparse[i]) << i;

        Eigen::MatrixXd damped = a;
        damped.diagonal().array() += chain.damping;
        if (chain.damping > 0.0) {
            expect_same_regular_step(damped, b);
        } else {
            expect_same_step(damped, b, 1e-8);  // fewer equations than unknowns
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Chains, GearChainTest,
                         ::testing::Values(GearChainCase{3, 1e-3, true},
                                           GearChainCase{12, 1e-4, true},
                                           GearChainCase{25, 1e-2, false},
                                           GearChainCase{12, 0.0, false}));

// Without a threshold a pivot of exactly zero must still leave its column
// unreduced: here the row pivoting brings up a row that holds nothing in
// column 1, and dividing by its zero would ruin the step (or, in the sparse
// rows, address an entry the row does not have).
TEST(BandedElimination, ZeroPivotIsSkippedEvenWithoutThreshold) {
    Eigen::MatrixXd a(2, 2);
    a << 0, 0, 1, 0;
    const Eigen::Vector2d b(3, 5);
    BandedMatrix band = to_banded(a.sparseView(0.0, 0.0));
    const Eigen::VectorXd banded = solve_with_partial_pivoting(band, b, 0.0);
    const Eigen::SparseMatrix<double, Eigen::RowMajor> sparse = a.sparseView(0.0, 0.0);
    SparseEliminationWork work;
    const Eigen::VectorXd from_sparse =
        solve_sparse_with_partial_pivoting(sparse, 0.0, b, 0.0, work);
    EXPECT_EQ(banded, Eigen::Vector2d(5, 3));
    EXPECT_EQ(from_sparse, Eigen::Vector2d(5, 3));
}

}  // namespace
}  // namespace ovralis
