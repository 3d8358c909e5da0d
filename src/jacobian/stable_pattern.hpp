#pragma once

// Gives the Jacobians of one problem one sparsity pattern. The sparse
// Jacobian leaves out contributions of magnitude at most 1e-30, and some
// derivatives that cancel analytically (a distance to a horizontal line,
// taken along the line) come out as rounding, 1e-19 at one point and exactly
// zero at the next; each such flicker would otherwise make every consumer of
// the pattern (orderings, symbolic analyses, scatter maps) start again.

#include <vector>

#include <Eigen/SparseCore>

namespace ovralis {

class StablePattern {
public:
    // `jacobian` (compressed, column-major) with an explicit zero at every
    // position an earlier Jacobian of the same shape held and this one lacks.
    // The pattern kept is the union of all seen; it settles after the first
    // few, and from then on a Jacobian is passed through with at most a copy
    // into the settled pattern.
    Eigen::SparseMatrix<double> conform(Eigen::SparseMatrix<double> jacobian);

private:
    bool holds_exactly(const Eigen::SparseMatrix<double>& jacobian) const;
    void widen_to(const Eigen::SparseMatrix<double>& jacobian);
    Eigen::SparseMatrix<double> spread_into_pattern(
        const Eigen::SparseMatrix<double>& jacobian) const;

    Eigen::Index rows_ = -1;
    std::vector<int> starts_;  // the union pattern, compressed by column
    std::vector<int> indices_;
};

}  // namespace ovralis
