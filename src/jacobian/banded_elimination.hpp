#pragma once

#include <vector>

#include <Eigen/Core>
#include <Eigen/SparseCore>

namespace ovralis {

// A square matrix whose non-zeros lie within `lower` sub-diagonals and `upper`
// super-diagonals, kept row by row for Gaussian elimination with row pivoting.
// Row i stores columns i - lower ... i + lower + upper: pivoting can bring a
// row up to `lower` positions, so the upper band of the eliminated rows widens
// to lower + upper.
struct BandedMatrix {
    Eigen::Index size = 0;
    Eigen::Index lower = 0;
    Eigen::Index upper = 0;
    std::vector<double> values;  // size * width(), zero outside the matrix

    Eigen::Index width() const { return 2 * lower + upper + 1; }

    // Element (row, column) lives at values[row_offset(row) + column].
    Eigen::Index row_offset(Eigen::Index row) const { return row * (width() - 1) + lower; }

    double& at(Eigen::Index row, Eigen::Index column) { return values[row_offset(row) + column]; }
    double at(Eigen::Index row, Eigen::Index column) const {
        return values[row_offset(row) + column];
    }
};

// Band storage sized from the pattern of a square sparse matrix, all zero.
BandedMatrix band_shape(const Eigen::SparseMatrix<double>& matrix);

// Writes the matrix into band storage of a sufficient shape (see band_shape).
void fill_band(BandedMatrix& band, const Eigen::SparseMatrix<double>& matrix);

// band_shape and fill_band together.
BandedMatrix to_banded(const Eigen::SparseMatrix<double>& matrix);

void add_to_diagonal(BandedMatrix& matrix, double amount);

// Solves matrix * x = rhs by Gaussian elimination, overwriting the matrix.
//
// The pivot choices are those of Gauss-Jordan elimination with partial
// pivoting on [matrix | rhs]: columns 0 ... n-1 in order; the pivot row is the
// first row among j ... n-1 with the largest |entry| in column j, swapped into
// row j; a column whose pivot is below `pivot_threshold` in magnitude, or
// zero, is left unreduced. The result equals the last column that Gauss-Jordan would leave,
// up to rounding, also when columns are left unreduced (see the .cpp).
Eigen::VectorXd solve_with_partial_pivoting(BandedMatrix& matrix, const Eigen::VectorXd& rhs,
                                            double pivot_threshold);

}  // namespace ovralis
