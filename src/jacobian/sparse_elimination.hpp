#pragma once

#include <vector>

#include <Eigen/Core>
#include <Eigen/SparseCore>

namespace ovralis {

// Working storage of the sparse elimination, kept between calls so that the
// rows' buffers are reused.
struct SparseEliminationWork {
    struct Entry {
        Eigen::Index column;
        double value;
    };
    std::vector<std::vector<Entry>> rows;            // by row id, sorted by column
    std::vector<std::size_t> first;                  // per row: first entry still in play
    std::vector<std::vector<Eigen::Index>> holders;  // per column: rows with an entry there
    std::vector<Eigen::Index> row_at;                // position -> row id
    std::vector<Eigen::Index> position_of;           // row id -> position
    std::vector<Entry> fill;                         // scratch: one update's new entries
    std::vector<std::size_t> fill_at;                // scratch: where in the row each goes
};

// Solves (a + shift I) x = rhs by sparse Gaussian elimination with the pivot
// choices of Gauss-Jordan elimination on the dense augmented system:
// columns 0 ... n-1 in order, the first row among j ... n-1 with the largest
// |entry| in column j as pivot, columns whose pivot is below `threshold` (or
// zero) left unreduced. It performs the same arithmetic as the banded elimination
// (banded_elimination.hpp explains why this gives Gauss-Jordan's answer) on
// the non-zeros and their fill only, which suits matrices whose non-zeros lie
// far from the diagonal, such as the coupling between point coordinates and
// the radii that follow all of them in the variable order.
Eigen::VectorXd solve_sparse_with_partial_pivoting(
    const Eigen::SparseMatrix<double, Eigen::RowMajor>& a, double shift, const Eigen::VectorXd& rhs,
    double threshold, SparseEliminationWork& work);

}  // namespace ovralis
