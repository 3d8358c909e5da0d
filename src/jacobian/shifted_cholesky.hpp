#pragma once

// Solves (A + shift I) x = b for a sparse symmetric positive semi-definite A
// by LDLᵀ factorisation in a fill-reducing order: the order and the symbolic
// analysis are made once per sparsity pattern, the numeric factorisation once
// per shift.

#include <optional>
#include <vector>

#include <Eigen/Core>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>

namespace ovralis {

class ShiftedCholesky {
public:
    // x, or nothing when the factorisation fails or one of its pivots lies
    // below `pivot_floor` (the caller then takes a method that copes with a
    // nearly singular matrix). A + shift I is positive definite for a positive
    // shift, so every pivot is at least its smallest eigenvalue, and the answer
    // does not depend on the order beyond rounding.
    std::optional<Eigen::VectorXd> solve(const Eigen::SparseMatrix<double>& a, double shift,
                                         const Eigen::VectorXd& b, double pivot_floor);

private:
    bool same_pattern(const Eigen::SparseMatrix<double>& a) const;
    void analyse(const Eigen::SparseMatrix<double>& a);

    // Approximate minimum degree ordering: little fill for the couplings of
    // sketches (radii to centres, holes to the edges they are measured from).
    Eigen::SimplicialLDLT<Eigen::SparseMatrix<double>, Eigen::Lower, Eigen::AMDOrdering<int>>
        factors_;
    std::vector<int> analysed_starts_;   // the pattern the analysis was made for
    std::vector<int> analysed_indices_;
};

}  // namespace ovralis
