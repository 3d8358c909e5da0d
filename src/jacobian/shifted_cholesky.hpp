#pragma once

// Solves (A + shift I) x = b for a sparse symmetric positive semi-definite A
// by LDLᵀ factorisation in a fill-reducing order (fill_reducing_order.hpp):
// the order and the symbolic analysis are made once per sparsity pattern, the
// numeric factorisation once per shift.

#include <Eigen/Core>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

namespace ovralis {

// The factorisation of matrices whose variables are already in the order they
// are to be eliminated in, such as J^T J assembled in a fill-reducing order.
class ShiftedCholesky {
public:
    // The symbolic analysis of `ordered`'s pattern (both triangles stored);
    // solve then takes matrices of that pattern.
    void analyse(const Eigen::SparseMatrix<double>& ordered);

    // Factorises ordered + shift I; false when the factorisation fails or
    // one of its pivots lies below `pivot_floor` (the caller then takes a
    // method that copes with a nearly singular matrix). A + shift I is
    // positive definite for a positive shift, so every pivot is at least its
    // smallest eigenvalue, and the solution does not depend on the order
    // beyond rounding.
    bool factorize(const Eigen::SparseMatrix<double>& ordered, double shift, double pivot_floor);

    // The solution for one right-hand side, after a successful factorize.
    Eigen::VectorXd solve(const Eigen::VectorXd& b) const { return factors_.solve(b); }

private:
    // The upper triangle is read straight from the matrix, without a copy.
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>, Eigen::Upper, Eigen::NaturalOrdering<int>>
        factors_;
};

}  // namespace ovralis
