// The minimum-norm solution of J dx = b: of all steps the linearised
// constraints accept, the shortest. What the constraints leave free has no
// component in it, so free parts of a sketch do not drift.
#pragma once

#include <optional>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "jacobian/square_jacobian_factor.hpp"
#include "solver/row_space_step.hpp"

namespace ovralis {

// Factorised once per linearisation point and used for any number of
// right-hand sides. A square J with sound LU pivots gives J^-1 b from its
// factors (the one solution there is). Otherwise the least-norm step of
// row_space_step.hpp, which stays in J's row space: plain normal equations
// with a tiny shift, (J^T J + mu I) dx = J^T b, give the same dx in exact
// arithmetic, but their rounding, divided by the shift, leaks into the
// directions J leaves free (a thousandth of the step at mu = 1e-13).
class MinimumNormStep {
public:
    // False when neither factorisation succeeds (a NaN in J).
    bool linearise(Eigen::SparseMatrix<double> jacobian);

    // The minimum-norm dx with J dx = b (least squares when b is out of J's
    // range); nullopt when it is not finite.
    std::optional<Eigen::VectorXd> solve(const Eigen::VectorXd& b) const;

private:
    SquareJacobianFactor square_factor_;
    RowSpaceSolver row_space_;
    bool square_ = false;
    bool factorised_ = false;
};

}  // namespace ovralis
