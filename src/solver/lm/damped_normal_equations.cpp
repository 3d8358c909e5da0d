#include "solver/lm/damped_normal_equations.hpp"

#include <vector>

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
    structure_.normal().assemble(jacobian);
    gradient_ = -(jacobian.transpose() * residual);
}

Eigen::VectorXd DampedNormalEquations::step(double damping) {
    if (structure_.factorize(damping, kFactorisationPivotFloor)) return structure_.solve(gradient_);
    return structure_.band_shape() ? eliminated_in_band(damping)
                                   : eliminated_in_variable_order(damping);
}

// The rare fall-back of a banded J^T J, in the general band storage that
// row pivoting needs.
Eigen::VectorXd DampedNormalEquations::eliminated_in_band(double damping) {
    BandedMatrix band = *structure_.band_shape();
    fill_band(band, structure_.normal().matrix());
    add_to_diagonal(band, damping);
    return solve_with_partial_pivoting(band, gradient_, kPivotThreshold);
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
