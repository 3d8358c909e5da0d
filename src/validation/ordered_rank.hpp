#pragma once

// Rank-revealing sparse QR (SuiteSparse SPQR) of a matrix's columns, with the
// linear combination that reproduces each column found dependent.

#include <cstddef>
#include <vector>

#include <Eigen/SparseCore>

#include "solver/interruption.hpp"

namespace ovralis {

// A column's coefficient in a combination of independent columns.
struct ColumnCoefficient {
    Eigen::Index column = 0;
    double value = 0.0;
};

// A * E = Q * R with dependent ("dead") columns detected by Heath's rule: a
// column whose part orthogonal to the independent columns before it (in the
// order E) has a 2-norm of at most `tol` adds no row to R.
struct ColumnFactorisation {
    Eigen::Index rank = 0;
    std::vector<Eigen::Index> order;  // E: position -> column of A
    std::vector<bool> independent;    // per column of A
    // R in compressed columns, one per position of `order`.
    std::vector<Eigen::Index> r_start;
    std::vector<Eigen::Index> r_row;
    std::vector<double> r_value;
    // Per row of R: the position (in `order`) of the independent column whose pivot it holds.
    std::vector<Eigen::Index> pivot_position;
    std::vector<Eigen::Index> position_of;  // column of A -> position in `order`
};

// Keeps the columns in their given order when `keep_order` is set (so a column
// is dependent exactly when it lies within `tol` of the span of the columns
// before it); otherwise lets SPQR choose a fill-reducing order.
// SPQR never polls, so with `interrupted` given a large factorisation runs on a
// worker thread of its own (solver/abandonable_work.hpp) and an interrupt
// throws SolveInterrupted at once, leaving the worker to finish and free its
// own copy of the matrix.
ColumnFactorisation factorise_columns(const Eigen::SparseMatrix<double>& a, double tol,
                                      bool keep_order, const InterruptPoll& interrupted = {});

// Expresses dependent columns through the independent ones: for a dependent
// column d, the coefficients x with A(:, d) = sum x_k A(:, k) over independent
// columns k, from a sparse back substitution in R. The work is in proportion
// to the entries of R the combination reaches, not to the size of R: the
// workspace is kept between calls, and a value that cancels to rounding
// (within kRoundingNoise of the sums that formed it, or of the column itself)
// is taken as zero, so that rounding noise does not spread through R.
class DependentCombinations {
public:
    static constexpr double kRoundingNoise = 1e-12;

    explicit DependentCombinations(const ColumnFactorisation& f);
    std::vector<ColumnCoefficient> of(Eigen::Index column);
    // The same for the weighted sum of dependent columns sum w_d A(:, d).
    std::vector<ColumnCoefficient> of_sum(const std::vector<ColumnCoefficient>& weights);

private:
    const ColumnFactorisation& f_;
    std::vector<double> diagonal_;   // per row of R
    std::vector<double> rhs_;        // per row of R; all zero between calls
    std::vector<double> magnitude_;  // per row: the sum of |terms| added to rhs_
};

}  // namespace ovralis
