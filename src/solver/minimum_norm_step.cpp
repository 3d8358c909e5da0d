#include "solver/minimum_norm_step.hpp"

#include <algorithm>
#include <utility>

namespace ovralis {
namespace {

// J's LU pivots may span this ratio and still give an accurate solve.
constexpr double kSquarePivotRatio = 1e-12;
// The shift of J J^T, relative to its largest diagonal entry: small enough
// that steps are exact to about ten digits in the directions the
// constraints fix, large enough that redundant rows still factorise.
constexpr double kRelativeShift = 1e-13;

}  // namespace

bool MinimumNormStep::linearise(Eigen::SparseMatrix<double> jacobian) {
    jacobian.makeCompressed();
    jacobian_ = std::move(jacobian);
    square_ = square_factor_.factorise(jacobian_, kSquarePivotRatio);
    if (square_) return factorised_ = true;
    Eigen::SparseMatrix<double> rows = jacobian_ * jacobian_.transpose();
    double largest = 0.0;
    for (Eigen::Index i = 0; i < rows.rows(); ++i) largest = std::max(largest, rows.coeff(i, i));
    const double shift = kRelativeShift * (largest > 0.0 ? largest : 1.0);
    for (Eigen::Index i = 0; i < rows.rows(); ++i) rows.coeffRef(i, i) += shift;
    rows.makeCompressed();
    // The pattern of J is the problem's one stable pattern, so the ordering
    // is made once and only the numbers are factorised at later points.
    if (rows.nonZeros() != analysed_non_zeros_) {
        row_factor_.analyzePattern(rows);
        analysed_non_zeros_ = rows.nonZeros();
    }
    row_factor_.factorize(rows);
    factorised_ = row_factor_.info() == Eigen::Success;
    return factorised_;
}

std::optional<Eigen::VectorXd> MinimumNormStep::solve(const Eigen::VectorXd& b) const {
    if (!factorised_) return std::nullopt;
    Eigen::VectorXd dx;
    if (square_) {
        dx = b;
        square_factor_.solve(dx);
    } else {
        dx = jacobian_.transpose() * row_factor_.solve(b);
    }
    if (!dx.allFinite()) return std::nullopt;
    return dx;
}

}  // namespace ovralis
