#pragma once

// The linear algebra of Levenberg–Marquardt: the normal equations of one
// linearisation, (J^T J + damping I) delta = -(J^T r), solved for each
// damping attempt.


#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "jacobian/banded_elimination.hpp"
#include "jacobian/normal_structure.hpp"
#include "jacobian/sparse_elimination.hpp"

namespace ovralis {

// Kept for a whole solve. J^T J + damping I is factorised as the problem's
// NormalStructure says: in band storage when its non-zeros stay near the
// diagonal, else in a fill-reducing order. Where either factorisation
// meets a pivot near the elimination's threshold, an elimination in variable
// order with Gauss-Jordan's pivot choices takes the step instead: in the band
// when there is one, else the sparse elimination.
class DampedNormalEquations {
public:
    explicit DampedNormalEquations(NormalStructure& structure) : structure_(structure) {}

    // Forms J^T J and -(J^T r) at a new linearisation point.
    void linearise(Eigen::SparseMatrix<double> jacobian, const Eigen::VectorXd& residual);

    // The right-hand side -(J^T r) of the current linearisation.
    const Eigen::VectorXd& gradient() const { return gradient_; }

    // The step for one damping.
    Eigen::VectorXd step(double damping);

private:
    Eigen::VectorXd eliminated_in_band(double damping);
    Eigen::VectorXd eliminated_in_variable_order(double damping);

    NormalStructure& structure_;
    Eigen::VectorXd gradient_;
    SparseEliminationWork elimination_work_;
};

}  // namespace ovralis
