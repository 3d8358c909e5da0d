#pragma once

// The linear algebra of Levenberg–Marquardt: the normal equations of one
// linearisation, (J^T J + damping I) delta = -(J^T r), solved for each
// damping attempt.

#include <optional>
#include <vector>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "jacobian/banded_elimination.hpp"
#include "jacobian/normal_matrix.hpp"
#include "jacobian/shifted_cholesky.hpp"
#include "jacobian/sparse_elimination.hpp"

namespace ovralis {

// Kept for a whole solve: the Jacobian's pattern does not change between
// iterations, so the choice of elimination, the order of the variables and
// the symbolic analysis are made on the first linearisation (and again only
// if the pattern changes).
//
// J^T J is eliminated in band storage when its non-zeros stay near the
// diagonal (a strip of triangles, separate rectangles): the band's tight
// loops are the fastest way through it, and it makes the pivot choices of a
// Gauss-Jordan solve of the dense augmented system. When some non-zeros lie
// far from the diagonal (every radius couples to its centre's coordinates,
// which come a whole block of points earlier; a hole is measured from the
// plate's edges), eliminating in variable order would fill the matrix, so it
// is assembled in a fill-reducing order and factorised there. Where that
// factorisation meets a pivot near the elimination's threshold, the sparse
// elimination in variable order, with Gauss-Jordan's pivot choices, takes the
// step instead.
class DampedNormalEquations {
public:
    // Forms J^T J and -(J^T r) at a new linearisation point.
    void linearise(Eigen::SparseMatrix<double> jacobian, const Eigen::VectorXd& residual);

    // The right-hand side -(J^T r) of the current linearisation.
    const Eigen::VectorXd& gradient() const { return gradient_; }

    // The step for one damping.
    Eigen::VectorXd step(double damping);

private:
    void prepare(const Eigen::SparseMatrix<double>& jacobian);
    Eigen::VectorXd eliminated_in_band(double damping);
    Eigen::VectorXd factorised(double damping);
    Eigen::VectorXd eliminated_in_variable_order(double damping);

    NormalMatrix normal_;
    Eigen::VectorXd gradient_;
    std::optional<BandedMatrix> band_;  // the band's shape and this linearisation's J^T J
    BandedMatrix band_work_;
    ShiftedCholesky cholesky_;
    SparseEliminationWork elimination_work_;
};

}  // namespace ovralis
