// Least-norm steps through J J^T, factorised in the sparse structure the
// normal equations use (J J^T is the normal matrix of J^T).
#include "solver/row_space_step.hpp"

#include <limits>

namespace ovralis {
namespace {

// Relative to each diagonal element of J J^T: small enough that a step is
// Gauss–Newton to about ten digits on the rows that are independent, large
// enough that the rows of redundant constraints (J J^T singular) still
// factorise. Their share of the solution is mapped back through J^T, which
// sends the singular directions to zero.
constexpr double kRelativeDamping = 1e-12;

}  // namespace

bool RowSpaceSolver::factorise(const Eigen::SparseMatrix<double>& jacobian) {
    transposed_ = jacobian.transpose();
    transposed_.makeCompressed();
    structure_.prepare_for(transposed_);
    Eigen::SparseMatrix<double>& rows = structure_.normal().assemble(transposed_);
    for (Eigen::Index i = 0; i < rows.cols(); ++i) {
        double& diagonal = rows.coeffRef(i, i);
        diagonal += kRelativeDamping * (diagonal > 0.0 ? diagonal : 1.0);
    }
    // Any pivot that is not NaN will do: the callers judge the step.
    factorised_ = structure_.factorize(0.0, -std::numeric_limits<double>::infinity());
    return factorised_;
}

std::optional<Eigen::VectorXd> RowSpaceSolver::solve(const Eigen::VectorXd& rhs) const {
    if (!factorised_) return std::nullopt;
    Eigen::VectorXd step = transposed_ * structure_.solve(rhs);
    if (!step.allFinite()) return std::nullopt;
    return step;
}

}  // namespace ovralis
