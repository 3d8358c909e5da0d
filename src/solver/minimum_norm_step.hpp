// The minimum-norm solution of J dx = b: of all steps the linearised
// constraints accept, the shortest. What the constraints leave free has no
// component in it, so free parts of a sketch do not drift.
#pragma once

#include <optional>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "jacobian/normal_structure.hpp"
#include "jacobian/square_jacobian_factor.hpp"

namespace ovralis {

// Factorised once per linearisation point and used for any number of
// right-hand sides. A square J with sound LU pivots gives J^-1 b from its
// factors (the one solution there is). Otherwise
//
//     dx = (J^T J + mu I)^-1 J^T b,
//
// which for a tiny uniform shift mu is the minimum-norm least-squares
// solution to about ten digits: J^T b lies in J's row space and the shifted
// normal matrix maps that space onto itself, so dx never has a component
// along a direction J leaves free, and redundant rows still factorise.
class MinimumNormStep {
public:
    explicit MinimumNormStep(NormalStructure& structure) : structure_(structure) {}

    // False when neither factorisation succeeds (a NaN in J).
    bool linearise(Eigen::SparseMatrix<double> jacobian);

    // The minimum-norm dx with J dx = b (least squares when b is out of J's
    // range); nullopt when it is not finite.
    std::optional<Eigen::VectorXd> solve(const Eigen::VectorXd& b) const;

private:
    NormalStructure& structure_;
    SquareJacobianFactor square_factor_;
    Eigen::SparseMatrix<double> jacobian_;
    bool square_ = false;
    bool factorised_ = false;
};

}  // namespace ovralis
