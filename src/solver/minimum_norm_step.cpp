#include "solver/minimum_norm_step.hpp"

#include <utility>

namespace ovralis {
namespace {

// J's LU pivots may span this ratio and still give an accurate solve.
constexpr double kSquarePivotRatio = 1e-12;

}  // namespace

bool MinimumNormStep::linearise(Eigen::SparseMatrix<double> jacobian) {
    jacobian.makeCompressed();
    square_ = square_factor_.factorise(jacobian, kSquarePivotRatio);
    factorised_ = square_ || row_space_.factorise(jacobian);
    return factorised_;
}

std::optional<Eigen::VectorXd> MinimumNormStep::solve(const Eigen::VectorXd& b) const {
    if (!factorised_) return std::nullopt;
    if (!square_) return row_space_.solve(b);
    Eigen::VectorXd dx = b;
    square_factor_.solve(dx);
    if (!dx.allFinite()) return std::nullopt;
    return dx;
}

}  // namespace ovralis
