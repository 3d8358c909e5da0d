// Least-norm steps through J^T J or J J^T, factorised in the sparse structure
// the normal equations use (J J^T is the normal matrix of J^T).
#include "solver/row_space_step.hpp"

#include <algorithm>
#include <limits>

namespace ovralis {
namespace {

// Relative to each diagonal element of J J^T: small enough that a step is
// Gauss–Newton to about ten digits on the rows that are independent, large
// enough that the rows of redundant constraints (J J^T singular) still
// factorise. Their share of the solution is mapped back through J^T, which
// sends the singular directions to zero.
constexpr double kRelativeDamping = 1e-12;


// A pivot of J^T J below this share of its largest diagonal entry says J has
// a null direction (its pivot is then about the damping above), or is so ill
// conditioned that the squared condition number of J^T J would cost the step
// its accuracy: either way J J^T takes over. The sketch is scaled to unit
// size, so the diagonal entries are of comparable size.
constexpr double kColumnRankRatio = 1e-9;

// Adds the damping to the diagonal of an assembled normal matrix; returns its
// largest diagonal entry before damping.
double damp(Eigen::SparseMatrix<double>& normal) {
    double largest = 0.0;
    for (Eigen::Index i = 0; i < normal.cols(); ++i) {
        double& diagonal = normal.coeffRef(i, i);
        largest = std::max(largest, diagonal);
        diagonal += kRelativeDamping * (diagonal > 0.0 ? diagonal : 1.0);
    }
    return largest;
}

}  // namespace

bool RowSpaceSolver::factorise(const Eigen::SparseMatrix<double>& jacobian) {
    transposed_ = jacobian.transpose();
    transposed_.makeCompressed();
    factorised_ = Factorised::kNone;
    if (jacobian.rows() > jacobian.cols() && factorise_columns(jacobian)) {
        factorised_ = Factorised::kColumns;
    } else if (factorise_rows()) {
        factorised_ = Factorised::kRows;
    }
    return factorised_ != Factorised::kNone;
}

bool RowSpaceSolver::factorise_columns(const Eigen::SparseMatrix<double>& jacobian) {
    columns_.prepare_for(jacobian);
    const double largest = damp(columns_.normal().assemble(jacobian));
    return largest > 0.0 && columns_.factorize(0.0, kColumnRankRatio * largest);
}

bool RowSpaceSolver::factorise_rows() {
    rows_.prepare_for(transposed_);
    damp(rows_.normal().assemble(transposed_));
    // Any pivot that is not NaN will do: the callers judge the step.
    return rows_.factorize(0.0, -std::numeric_limits<double>::infinity());
}

std::optional<Eigen::VectorXd> RowSpaceSolver::solve(const Eigen::VectorXd& rhs) const {
    Eigen::VectorXd step;
    switch (factorised_) {
        case Factorised::kNone: return std::nullopt;
        case Factorised::kColumns: step = columns_.solve(transposed_ * rhs); break;
        case Factorised::kRows: step = transposed_ * rows_.solve(rhs); break;
    }
    if (!step.allFinite()) return std::nullopt;
    return step;
}

}  // namespace ovralis
