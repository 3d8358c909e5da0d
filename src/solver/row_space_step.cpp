// Least-norm steps through J^T J or J J^T, factorised in the sparse structure
// the normal equations use (J J^T is the normal matrix of J^T).
#include "solver/row_space_step.hpp"

#include <algorithm>
#include <limits>

namespace ovralis {
namespace {

// Relative to each diagonal element of J^T J when J has full column rank, or
// of J J^T: small enough that a step is Gauss–Newton to about ten digits,
// large enough that the rows of redundant constraints (J J^T singular) still
// factorise; their share of the solution is mapped back through J^T, which
// sends the singular directions to zero.
constexpr double kRelativeDamping = 1e-12;

// A pivot of J^T J below this share of its largest diagonal entry says J has
// a null direction (its pivot is then about the damping above), or is so ill
// conditioned that the squared condition number of J^T J would cost the step
// its accuracy. The sketch is scaled to unit size, so the diagonal entries
// are of comparable size.
constexpr double kColumnRankRatio = 1e-9;

// The damping of J^T J when J has a null direction, relative to its largest
// diagonal element, and the corrections that take its bias off the step
// (iterated Tikhonov regularisation). The damping is the same on every
// variable, so the corrections converge to the least-norm step itself (a
// damping that differed between variables would weight the norm). Each
// correction shrinks the bias along a direction of J^T J with eigenvalue
// lambda by mu / (lambda + mu); what rounding puts in a null direction is
// divided by mu, so about 1e-9 of the step.
constexpr double kNullRelativeDamping = 3e-7;
constexpr int kNullCorrections = 8;

// Adds `relative` times each diagonal element (or itself where the element is
// zero) to the diagonal of an assembled normal matrix; returns its largest
// diagonal element before.
double damp(Eigen::SparseMatrix<double>& normal, double relative) {
    double largest = 0.0;
    for (Eigen::Index i = 0; i < normal.cols(); ++i) {
        double& diagonal = normal.coeffRef(i, i);
        largest = std::max(largest, diagonal);
        diagonal += relative * (diagonal > 0.0 ? diagonal : 1.0);
    }
    return largest;
}

}  // namespace

bool RowSpaceSolver::factorise(const Eigen::SparseMatrix<double>& jacobian) {
    transposed_ = jacobian.transpose();
    transposed_.makeCompressed();
    factorised_ = Factorised::kNone;
    // A Jacobian with fewer rows than columns always has a null direction.
    if (jacobian.rows() > jacobian.cols() && factorise_full_rank(jacobian)) {
        factorised_ = Factorised::kFullRank;
    } else if (jacobian.rows() <= largest_row_system_) {
        if (factorise_rows()) factorised_ = Factorised::kRows;
    } else if (factorise_damped(jacobian)) {
        factorised_ = Factorised::kDamped;
    }
    return factorised_ != Factorised::kNone;
}

bool RowSpaceSolver::factorise_full_rank(const Eigen::SparseMatrix<double>& jacobian) {
    structure_.prepare_for(jacobian);
    const double largest = damp(structure_.normal().assemble(jacobian), kRelativeDamping);
    return largest > 0.0 && structure_.factorize(0.0, kColumnRankRatio * largest);
}

bool RowSpaceSolver::factorise_damped(const Eigen::SparseMatrix<double>& jacobian) {
    structure_.prepare_for(jacobian);  // made already when the full-rank attempt was
    Eigen::SparseMatrix<double>& normal = structure_.normal().assemble(jacobian);
    const double largest = normal.diagonal().maxCoeff();
    const double damping = kNullRelativeDamping * (largest > 0.0 ? largest : 1.0);
    for (Eigen::Index i = 0; i < normal.cols(); ++i) normal.coeffRef(i, i) += damping;
    // Any pivot that is not NaN will do: the callers judge the step.
    return structure_.factorize(0.0, -std::numeric_limits<double>::infinity());
}

bool RowSpaceSolver::factorise_rows() {
    rows_.prepare_for(transposed_);
    damp(rows_.normal().assemble(transposed_), kRelativeDamping);
    // Any pivot that is not NaN will do: the callers judge the step.
    return rows_.factorize(0.0, -std::numeric_limits<double>::infinity());
}

Eigen::VectorXd RowSpaceSolver::corrected_step(const Eigen::VectorXd& rhs) const {
    // Started from zero, every correction solves for J^T times something, so
    // the step stays in J's row space up to rounding.
    const Eigen::VectorXd gradient = transposed_ * rhs;
    Eigen::VectorXd step = structure_.solve(gradient);
    for (int k = 0; k < kNullCorrections; ++k) {
        const Eigen::VectorXd jacobian_step = transposed_.transpose() * step;
        step += structure_.solve(gradient - transposed_ * jacobian_step);
    }
    return step;
}

std::optional<Eigen::VectorXd> RowSpaceSolver::solve(const Eigen::VectorXd& rhs) const {
    Eigen::VectorXd step;
    switch (factorised_) {
        case Factorised::kNone: return std::nullopt;
        case Factorised::kFullRank: step = structure_.solve(transposed_ * rhs); break;
        case Factorised::kRows: step = transposed_ * rows_.solve(rhs); break;
        case Factorised::kDamped: step = corrected_step(rhs); break;
    }
    if (!step.allFinite()) return std::nullopt;
    return step;
}

}  // namespace ovralis
