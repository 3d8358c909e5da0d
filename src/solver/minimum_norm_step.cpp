#include "solver/minimum_norm_step.hpp"

#include <algorithm>
#include <limits>
#include <utility>

namespace ovralis {
namespace {

// J's LU pivots may span this ratio and still give an accurate solve.
constexpr double kSquarePivotRatio = 1e-12;
// The shift of J^T J, relative to its largest diagonal entry: small enough
// that steps are exact to about ten digits in the directions the
// constraints fix, large enough that a rank-deficient J^T J factorises.
constexpr double kRelativeShift = 1e-13;

}  // namespace

bool MinimumNormStep::linearise(Eigen::SparseMatrix<double> jacobian) {
    jacobian.makeCompressed();
    jacobian_ = std::move(jacobian);
    square_ = square_factor_.factorise(jacobian_, kSquarePivotRatio);
    if (square_) return factorised_ = true;
    structure_.prepare_for(jacobian_);
    const Eigen::SparseMatrix<double>& normal = structure_.normal().assemble(jacobian_);
    double largest = 0.0;
    for (Eigen::Index i = 0; i < normal.cols(); ++i) largest = std::max(largest, normal.coeff(i, i));
    const double shift = kRelativeShift * (largest > 0.0 ? largest : 1.0);
    // Any pivot that is not NaN will do: the caller judges where the step leads.
    factorised_ = structure_.factorize(shift, -std::numeric_limits<double>::infinity());
    return factorised_;
}

std::optional<Eigen::VectorXd> MinimumNormStep::solve(const Eigen::VectorXd& b) const {
    if (!factorised_) return std::nullopt;
    Eigen::VectorXd dx;
    if (square_) {
        dx = b;
        square_factor_.solve(dx);
    } else {
        dx = structure_.solve(jacobian_.transpose() * b);
    }
    if (!dx.allFinite()) return std::nullopt;
    return dx;
}

}  // namespace ovralis
