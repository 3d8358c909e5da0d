#pragma once

// Solves (A + shift I) x = b for a symmetric positive semi-definite band
// matrix A by LDLᵀ factorisation in band storage, without pivoting.

#include <vector>

#include <Eigen/Core>
#include <Eigen/SparseCore>

namespace ovralis {

// A + shift I = L D Lᵀ with L unit lower triangular.
class BandedCholesky {
public:
    // Factorises matrix + shift I, where `matrix` is symmetric (its lower
    // triangle is read) and has no entry more than `half_width` places from
    // the diagonal. False when a pivot of D lies below `pivot_floor` or is
    // not a number: the caller then takes a method that copes with a nearly
    // singular matrix. For a positive shift the matrix is positive definite,
    // so every pivot is at least its smallest eigenvalue.
    bool factorize(const Eigen::SparseMatrix<double>& matrix, Eigen::Index half_width,
                   double shift, double pivot_floor);

    // The solution for one right-hand side, after a successful factorize.
    Eigen::VectorXd solve(const Eigen::VectorXd& b) const;

private:
    // Row i of L and D, columns i - half_width ... i with the diagonal last,
    // starts at values_[i * (half_width + 1)]; columns left of column 0 in
    // the first rows are padding and stay zero.
    double& at(Eigen::Index row, Eigen::Index column) {
        return values_[static_cast<std::size_t>((row + 1) * half_width_ + column)];
    }
    const double& at(Eigen::Index row, Eigen::Index column) const {
        return values_[static_cast<std::size_t>((row + 1) * half_width_ + column)];
    }

    Eigen::Index size_ = 0;
    Eigen::Index half_width_ = 0;
    std::vector<double> values_;      // L below the diagonal, D on it
    Eigen::VectorXd inverse_pivots_;  // 1 / D
};

}  // namespace ovralis
