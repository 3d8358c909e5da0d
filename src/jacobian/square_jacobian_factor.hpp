#pragma once

// The LU factorisation of a square Jacobian itself (KLU, with its block
// triangular pre-ordering), for solves with J and J^T: a well constrained
// sketch dimensioned constructively has a J that is block triangular with
// small diagonal blocks after permutations, and factorises with almost no
// fill where J^T J, whose graph is the sketch's, fills far more.

#include <memory>
#include <vector>

#include <Eigen/Core>
#include <Eigen/SparseCore>

namespace ovralis {

class SquareJacobianFactor {
public:
    SquareJacobianFactor();
    ~SquareJacobianFactor();
    SquareJacobianFactor(const SquareJacobianFactor&) = delete;
    SquareJacobianFactor& operator=(const SquareJacobianFactor&) = delete;

    // Factorises `jacobian` (square, compressed, column-major). The ordering
    // is made once per sparsity pattern and the pivot sequence is reused
    // while it stays sound. False when J is not square, is singular, or its
    // pivots span more than `smallest_pivot_ratio` (smallest over largest
    // magnitude): then solves would carry too little accuracy to be worth
    // having, and are not to be taken.
    bool factorise(const Eigen::SparseMatrix<double>& jacobian, double smallest_pivot_ratio);

    // J^-1 v and J^-T v in place, after a successful factorise.
    void solve(Eigen::VectorXd& v) const;
    void transpose_solve(Eigen::VectorXd& v) const;

    // The smallest over the largest pivot magnitude of the last factorise (0
    // when it found no LU, NaN when J held a NaN).
    double pivot_ratio() const { return pivot_ratio_; }

private:
    struct Klu;  // KLU's common block, symbolic and numeric objects

    bool pattern_analysed(const Eigen::SparseMatrix<double>& jacobian) const;
    void analyse(const Eigen::SparseMatrix<double>& jacobian);
    bool factorise_values(const Eigen::SparseMatrix<double>& jacobian, double smallest_pivot_ratio);

    std::unique_ptr<Klu> klu_;
    std::vector<int> starts_;  // the analysed pattern
    std::vector<int> rows_;
    double pivot_ratio_ = 0.0;
};

}  // namespace ovralis
