// KLU behind a small interface: analyse once per pattern, factorise or
// refactorise per Jacobian, solve with J and J^T.

#include "jacobian/square_jacobian_factor.hpp"

#include <algorithm>
#include <new>

#include <klu.h>

namespace ovralis {

struct SquareJacobianFactor::Klu {
    klu_common common{};
    klu_symbolic* symbolic = nullptr;
    klu_numeric* numeric = nullptr;

    Klu() { klu_defaults(&common); }
    ~Klu() {
        free_numeric();
        free_symbolic();
    }
    Klu(const Klu&) = delete;
    Klu& operator=(const Klu&) = delete;

    void free_numeric() {
        if (numeric != nullptr) klu_free_numeric(&numeric, &common);
    }
    void free_symbolic() {
        if (symbolic != nullptr) klu_free_symbolic(&symbolic, &common);
    }
    void fail_on_memory() const {
        if (common.status == KLU_OUT_OF_MEMORY) throw std::bad_alloc();
    }
};

namespace {

// KLU reads its values through a non-const pointer but never writes them.
double* klu_input(const double* p) { return const_cast<double*>(p); }

}  // namespace

SquareJacobianFactor::SquareJacobianFactor() : klu_(std::make_unique<Klu>()) {}
SquareJacobianFactor::~SquareJacobianFactor() = default;

bool SquareJacobianFactor::factorise(const Eigen::SparseMatrix<double>& jacobian,
                                     double smallest_pivot_ratio) {
    pivot_ratio_ = 0.0;
    if (jacobian.rows() != jacobian.cols() || jacobian.rows() == 0) return false;
    if (!pattern_analysed(jacobian)) analyse(jacobian);
    if (klu_->symbolic == nullptr) return false;
    // A structurally singular J (a variable no row reads, or rows that read
    // too few variables between them) has no LU.
    if (klu_->symbolic->structural_rank < jacobian.rows()) return false;
    if (!factorise_values(jacobian, smallest_pivot_ratio)) return false;
    return pivot_ratio_ >= smallest_pivot_ratio;
}

bool SquareJacobianFactor::pattern_analysed(const Eigen::SparseMatrix<double>& jacobian) const {
    const auto columns = static_cast<std::size_t>(jacobian.cols());
    const auto entries = static_cast<std::size_t>(jacobian.nonZeros());
    return klu_->symbolic != nullptr && starts_.size() == columns + 1 && rows_.size() == entries &&
           std::equal(starts_.begin(), starts_.end(), jacobian.outerIndexPtr()) &&
           std::equal(rows_.begin(), rows_.end(), jacobian.innerIndexPtr());
}

void SquareJacobianFactor::analyse(const Eigen::SparseMatrix<double>& jacobian) {
    klu_->free_numeric();
    klu_->free_symbolic();
    const int n = static_cast<int>(jacobian.cols());
    starts_.assign(jacobian.outerIndexPtr(), jacobian.outerIndexPtr() + n + 1);
    rows_.assign(jacobian.innerIndexPtr(), jacobian.innerIndexPtr() + jacobian.nonZeros());
    klu_->symbolic = klu_analyze(n, starts_.data(), rows_.data(), &klu_->common);
    klu_->fail_on_memory();
}

// Refactorisation keeps the pivot sequence of the last full factorisation,
// which suits Jacobians of nearby points; when it breaks down or its pivots
// have degraded, a full factorisation chooses the pivots afresh.
bool SquareJacobianFactor::factorise_values(const Eigen::SparseMatrix<double>& jacobian,
                                            double smallest_pivot_ratio) {
    double* values = klu_input(jacobian.valuePtr());
    klu_common* common = &klu_->common;
    const bool refactorised = klu_->numeric != nullptr &&
                              klu_refactor(starts_.data(), rows_.data(), values, klu_->symbolic,
                                           klu_->numeric, common) != 0 &&
                              klu_rcond(klu_->symbolic, klu_->numeric, common) != 0 &&
                              common->rcond >= smallest_pivot_ratio;
    if (!refactorised) {
        klu_->free_numeric();
        klu_->numeric = klu_factor(starts_.data(), rows_.data(), values, klu_->symbolic, common);
        klu_->fail_on_memory();
        if (klu_->numeric == nullptr) return false;
        if (klu_rcond(klu_->symbolic, klu_->numeric, common) == 0) return false;
    }
    // NaN pivots make a NaN ratio, which every test rejects.
    pivot_ratio_ = common->rcond;
    return true;
}

void SquareJacobianFactor::solve(Eigen::VectorXd& v) const {
    const int n = static_cast<int>(v.size());
    klu_solve(klu_->symbolic, klu_->numeric, n, 1, v.data(), &klu_->common);
}

void SquareJacobianFactor::transpose_solve(Eigen::VectorXd& v) const {
    const int n = static_cast<int>(v.size());
    klu_tsolve(klu_->symbolic, klu_->numeric, n, 1, v.data(), &klu_->common);
}

}  // namespace ovralis
