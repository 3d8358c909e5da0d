#include "solver/lm/damped_normal_equations.hpp"

#include <utility>

namespace ovralis {
namespace {

constexpr double kPivotThreshold = 1e-12;
// Within a factor ten of the threshold the pivoted elimination may leave a
// column unreduced where a factorisation would divide by the small pivot, so
// there the step is left to the elimination. Long chains of circles reach
// pivots of 1e-10 and below once the damping has decayed: legitimate ones,
// which the factorisation takes.
constexpr double kFactorisationPivotFloor = 10.0 * kPivotThreshold;

}  // namespace

void DampedNormalEquations::linearise(Eigen::SparseMatrix<double> jacobian,
                                      const Eigen::VectorXd& residual) {
    jacobian.makeCompressed();
    structure_.prepare_for(jacobian);
    const Eigen::SparseMatrix<double>& normal = structure_.normal().assemble(jacobian);
    gradient_ = -(jacobian.transpose() * residual);
    band_ = structure_.band_shape();
    if (band_) fill_band(*band_, normal);
}

Eigen::VectorXd DampedNormalEquations::step(double damping) {
    return band_ ? eliminated_in_band(damping) : factorised(damping);
}

Eigen::VectorXd DampedNormalEquations::eliminated_in_band(double damping) {
    band_work_.size = band_->size;
    band_work_.lower = band_->lower;
    band_work_.upper = band_->upper;
    band_work_.values.assign(band_->values.begin(), band_->values.end());
    add_to_diagonal(band_work_, damping);
    return solve_with_partial_pivoting(band_work_, gradient_, kPivotThreshold);
}

Eigen::VectorXd DampedNormalEquations::factorised(double damping) {
    NormalMatrix& normal = structure_.normal();
    ShiftedCholesky& cholesky = structure_.cholesky();
    if (!cholesky.factorize(normal.matrix(), damping, kFactorisationPivotFloor)) {
        return eliminated_in_variable_order(damping);
    }
    return normal.from_order(cholesky.solve(normal.to_order(gradient_)));
}

// The rare fall-back: J^T J back in the variables' own order, row by row.
Eigen::VectorXd DampedNormalEquations::eliminated_in_variable_order(double damping) {
    const std::vector<int>& order = structure_.normal().order();
    const Eigen::SparseMatrix<double>& ordered = structure_.normal().matrix();
    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(static_cast<std::size_t>(ordered.nonZeros()));
    std::vector<int> variable_at(order.size());
    for (std::size_t j = 0; j < order.size(); ++j)
        variable_at[static_cast<std::size_t>(order[j])] = static_cast<int>(j);
    for (int c = 0; c < ordered.outerSize(); ++c) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(ordered, c); it; ++it) {
            entries.emplace_back(variable_at[static_cast<std::size_t>(it.row())],
                                 variable_at[static_cast<std::size_t>(c)], it.value());
        }
    }
    Eigen::SparseMatrix<double, Eigen::RowMajor> rows(ordered.rows(), ordered.cols());
    rows.setFromTriplets(entries.begin(), entries.end());
    return solve_sparse_with_partial_pivoting(rows, damping, gradient_, kPivotThreshold,
                                              elimination_work_);
}

}  // namespace ovralis
