// J^T J assembled in the order the normal structure picks (in band storage,
// or in a fill-reducing order) and factorised there, against the sparse
// product and the pivoted elimination it stands in for, on Jacobians with the
// couplings of real sketches.

#include <cmath>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include <gtest/gtest.h>
#include <Eigen/Dense>

#include "jacobian/fill_reducing_order.hpp"
#include "jacobian/normal_matrix.hpp"
#include "jacobian/normal_structure.hpp"
#include "jacobian/shifted_cholesky.hpp"
#include "jacobian/sparse_elimination.hpp"

namespace ovralis {
namespace {

constexpr double kThreshold = 1e-12;
constexpr double kFloor = 10.0 * kThreshold;

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
    Rows rows = {{0, 1},       {0, 1, 2, 3}, {2, 3, 4, 5}, {4, 5, 6, 7},
                 {6, 7, 0, 1}, {1, 3},       {0, 2, 4, 6}, {1, 5}};
    const int first_radius = 8 + 2 * holes;
    for (int h = 0; h < holes; ++h) {
        const int x = 8 + 2 * h;
        rows.push_back({x, x + 1, 0, 1});
        rows.push_back({x, x + 1, 2 * (h % 3 + 1), 2 * (h % 3 + 1) + 1});
        rows.push_back({first_radius + h});
    }
    return rows;
}

// A strip of triangles, each new point held by bars to the two before it:
// every coupling stays near the diagonal.
Rows triangle_strip(int points) {
    Rows rows = {{0}, {1}, {0, 1, 2, 3}};
    for (int p = 2; p < points; ++p) {
        rows.push_back({2 * p - 4, 2 * p - 3, 2 * p, 2 * p + 1});
        rows.push_back({2 * p - 2, 2 * p - 1, 2 * p, 2 * p + 1});
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

// The normal equations of one Jacobian pattern, assembled and factorised
// where the normal structure puts them, the step in the variables' order.
class OrderedSolve {
public:
    explicit OrderedSolve(const Eigen::SparseMatrix<double>& jacobian) {
        structure_.prepare_for(jacobian);
    }

    bool banded() const { return structure_.band_shape().has_value(); }

    // J^T J in the variables' own order.
    Eigen::MatrixXd assembled(const Eigen::SparseMatrix<double>& jacobian) {
        const Eigen::MatrixXd ordered = Eigen::MatrixXd(structure_.normal().assemble(jacobian));
        const auto& order = structure_.normal().order();
        Eigen::MatrixXd natural(ordered.rows(), ordered.cols());
        for (std::size_t i = 0; i < order.size(); ++i) {
            for (std::size_t j = 0; j < order.size(); ++j)
                natural(i, j) = ordered(order[i], order[j]);
        }
        return natural;
    }

    std::optional<Eigen::VectorXd> step(const Eigen::SparseMatrix<double>& jacobian, double shift,
                                        const Eigen::VectorXd& b) {
        structure_.normal().assemble(jacobian);
        if (!structure_.factorize(shift, kFloor)) return std::nullopt;
        return structure_.solve(b);
    }

private:
    NormalStructure structure_;
};

struct Family {
    const char* name;
    Rows rows;
    bool banded;
};

class ShiftedCholeskyTest : public ::testing::TestWithParam<Family> {};

// Wherever the factorisation answers, it agrees with the elimination to the
// rounding the condition number allows; it declines only below its floor.
// One solver serves every trial: the pattern stays, the values change.
TEST_P(ShiftedCholeskyTest, AgreesWithProductAndPivotedElimination) {
    std::mt19937 rng(7);
    const Rows& pattern = GetParam().rows;
    OrderedSolve solver(random_jacobian(pattern, rng));
    EXPECT_EQ(solver.banded(), GetParam().banded);
    SparseEliminationWork work;
    int answered = 0;
    for (double shift : {1e-2, 1e-4, 1e-7, 1e-10, 1e-12}) {
        const Eigen::SparseMatrix<double> jacobian = random_jacobian(pattern, rng);
        const Eigen::SparseMatrix<double> normal = jacobian.transpose() * jacobian;
        EXPECT_LE((solver.assembled(jacobian) - Eigen::MatrixXd(normal)).lpNorm<Eigen::Infinity>(),
                  1e-14);

        const Eigen::VectorXd b = jacobian.transpose() * Eigen::VectorXd::Random(jacobian.rows());
        const auto step = solver.step(jacobian, shift, b);
        const Eigen::SparseMatrix<double, Eigen::RowMajor> rows = normal;
        const Eigen::VectorXd expected =
            solve_sparse_with_partial_pivoting(rows, shift, b, kThreshold, work);

        Eigen::MatrixXd dense = Eigen::MatrixXd(normal);
        dense.diagonal().array() += shift;
        const Eigen::VectorXd eigenvalues =
            Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(dense).eigenvalues();
        if (!step) {
            EXPECT_LT(eigenvalues.minCoeff(), 1e3 * kFloor)
                << "declined a well-conditioned matrix, shift " << shift;
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
                         ::testing::Values(Family{"gears", gear_chain(40), false},
                                           Family{"plate", plate_with_holes(30), false},
                                           Family{"strip", triangle_strip(80), true},
                                           Family{"swinging", swinging_chain(25), true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShiftedCholesky, DeclinesNonFiniteMatricesAndSingularOnesWithoutShift) {
    std::mt19937 rng(3);
    for (const Rows& pattern : {swinging_chain(6), plate_with_holes(4)}) {
        Eigen::SparseMatrix<double> jacobian = random_jacobian(pattern, rng);
        jacobian.conservativeResize(jacobian.rows(), jacobian.cols() + 1);  // a column nothing reads
        jacobian.makeCompressed();
        OrderedSolve solver(jacobian);
        const Eigen::VectorXd b = Eigen::VectorXd::Ones(jacobian.cols());
        EXPECT_FALSE(solver.step(jacobian, 0.0, b));
        jacobian.valuePtr()[0] = std::numeric_limits<double>::quiet_NaN();
        EXPECT_FALSE(solver.step(jacobian, 1.0, b));
    }
}

// The fill-reducing order keeps the factor of a gear chain as sparse as the
// chain itself; in variable order the radius block would fill in.
TEST(ShiftedCholesky, OrderKeepsTheGearChainSparse) {
    std::mt19937 rng(5);
    const Eigen::SparseMatrix<double> jacobian = random_jacobian(gear_chain(200), rng);
    NormalMatrix normal;
    const Eigen::SparseMatrix<double> pattern = normal_pattern(jacobian);
    normal.prepare(jacobian, pattern, fill_reducing_order(pattern));
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>, Eigen::Upper, Eigen::NaturalOrdering<int>>
        factors;
    factors.compute(normal.assemble(jacobian));
    const Eigen::SparseMatrix<double> lower = factors.matrixL();
    EXPECT_LE(lower.nonZeros(), 12 * jacobian.cols());
}

}  // namespace
}  // namespace ovralis
