#include "jacobian/banded_elimination.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ovralis {

// Why forward elimination plus back substitution gives Gauss-Jordan's answer.
//
// Gauss-Jordan, at pivot column j, clears column j from every other row; the
// rows below j are updated exactly as by Gaussian elimination, and the rows
// above j are never pivot candidates again. So both methods see the same
// candidate rows at every step and make the same swaps and the same
// reduce-or-skip decisions. Here the pivot row is normalised and the rows
// below are updated with the same operations Gauss-Jordan uses, so those
// decisions agree bit for bit.
//
// What remains is Gauss-Jordan's clearing of the rows above each pivot. Call
// the reduced columns R and the unreduced ones S, and let U be the rows as
// forward elimination leaves them (reduced rows normalised, so U(j, j) = 1
// for j in R). Gauss-Jordan clears, in row i, every reduced column j > i in
// increasing order, each with pivot row j as it stood at step j (which is
// U's row j). Clearing a row of the columns of a unit upper-triangular set of
// rows, in order, subtracts from its last column exactly u^T y, where u holds
// the row's entries in those columns and y solves the triangular system
// restricted to R:
//
//     y(j) = c(j) - sum over k in R, k > j of U(j, k) y(k)      for j in R.
//
// The final last column of row i, whether i is in R or in S, is therefore
//
//     delta(i) = c(i) - sum over j in R, j > i of U(i, j) delta(j),
//
// which is ordinary back substitution in which an unreduced column counts as
// zero wherever it appears in a row above (its entries there are never
// cleared, so they never reach the last column), while its own row keeps
// what the substitution leaves in it, undivided by its tiny pivot.

BandedMatrix band_shape(const Eigen::SparseMatrix<double>& matrix) {
    BandedMatrix band;
    band.size = matrix.rows();
    for (Eigen::Index column = 0; column < matrix.outerSize(); ++column) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(matrix, column); it; ++it) {
            band.lower = std::max(band.lower, it.row() - it.col());
            band.upper = std::max(band.upper, it.col() - it.row());
        }
    }
    return band;
}

void fill_band(BandedMatrix& band, const Eigen::SparseMatrix<double>& matrix) {
    band.values.assign(static_cast<std::size_t>(band.size * band.width()), 0.0);
    for (Eigen::Index column = 0; column < matrix.outerSize(); ++column) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(matrix, column); it; ++it) {
            band.at(it.row(), it.col()) += it.value();
        }
    }
}

BandedMatrix to_banded(const Eigen::SparseMatrix<double>& matrix) {
    BandedMatrix band = band_shape(matrix);
    fill_band(band, matrix);
    return band;
}

void add_to_diagonal(BandedMatrix& matrix, double amount) {
    for (Eigen::Index i = 0; i < matrix.size; ++i) matrix.at(i, i) += amount;
}

namespace {

// The first row among j ... last_row whose entry in column j has the largest
// magnitude. A NaN entry never wins against an earlier row.
Eigen::Index pivot_row(const BandedMatrix& a, Eigen::Index j, Eigen::Index last_row) {
    Eigen::Index best_row = j;
    double best = std::abs(a.at(j, j));
    for (Eigen::Index row = j + 1; row <= last_row; ++row) {
        const double magnitude = std::abs(a.at(row, j));
        if (magnitude > best) {
            best = magnitude;
            best_row = row;
        }
    }
    return best_row;
}

}  // namespace

Eigen::VectorXd solve_with_partial_pivoting(BandedMatrix& a, const Eigen::VectorXd& rhs,
                                            double pivot_threshold) {
    const Eigen::Index n = a.size;
    const Eigen::Index lower = a.lower;
    const Eigen::Index reach = a.lower + a.upper;  // upper band after pivoting
    Eigen::VectorXd c = rhs;
    std::vector<bool> reduced(static_cast<std::size_t>(n), false);

    for (Eigen::Index j = 0; j < n; ++j) {
        const Eigen::Index last_row = std::min(n - 1, j + lower);
        const Eigen::Index last_column = std::min(n - 1, j + reach);

        const Eigen::Index p = pivot_row(a, j, last_row);
        if (p != j) {
            std::swap_ranges(&a.at(j, j), &a.at(j, last_column) + 1, &a.at(p, j));
            std::swap(c[j], c[p]);
        }
        // A zero pivot is never divided by, whatever the threshold; a NaN one is
        // used, as the dense elimination would.
        const double pivot = a.at(j, j);
        if (pivot == 0.0 || std::abs(pivot) < pivot_threshold) continue;
        reduced[static_cast<std::size_t>(j)] = true;

        double* pivot_row_values = &a.at(j, 0);
        for (Eigen::Index col = j + 1; col <= last_column; ++col) pivot_row_values[col] /= pivot;
        c[j] /= pivot;
        pivot_row_values[j] = 1.0;

        for (Eigen::Index row = j + 1; row <= last_row; ++row) {
            double* row_values = &a.at(row, 0);
            const double factor = row_values[j];
            for (Eigen::Index col = j + 1; col <= last_column; ++col) {
                row_values[col] -= factor * pivot_row_values[col];
            }
            c[row] -= factor * c[j];
            row_values[j] = 0.0;
        }
    }

    // Back substitution; `known` holds the solved values of reduced columns
    // and zero for unreduced ones, which never feed the rows above.
    Eigen::VectorXd delta(n);
    Eigen::VectorXd known = Eigen::VectorXd::Zero(n);
    for (Eigen::Index i = n - 1; i >= 0; --i) {
        const Eigen::Index last_column = std::min(n - 1, i + reach);
        const double* row_values = &a.at(i, 0);
        double sum = c[i];
        for (Eigen::Index col = i + 1; col <= last_column; ++col) {
            sum -= row_values[col] * known[col];
        }
        delta[i] = sum;
        if (reduced[static_cast<std::size_t>(i)]) known[i] = sum;
    }
    return delta;
}

}  // namespace ovralis
