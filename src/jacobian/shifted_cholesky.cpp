#include "jacobian/shifted_cholesky.hpp"

#include <algorithm>
#include <cmath>

namespace ovralis {

bool ShiftedCholesky::same_pattern(const Eigen::SparseMatrix<double>& a) const {
    const Eigen::Index columns = a.outerSize();
    if (static_cast<Eigen::Index>(analysed_starts_.size()) != columns + 1) return false;
    if (static_cast<Eigen::Index>(analysed_indices_.size()) != a.nonZeros()) return false;
    return std::equal(a.outerIndexPtr(), a.outerIndexPtr() + columns + 1,
                      analysed_starts_.begin()) &&
           std::equal(a.innerIndexPtr(), a.innerIndexPtr() + a.nonZeros(),
                      analysed_indices_.begin());
}

void ShiftedCholesky::analyse(const Eigen::SparseMatrix<double>& a) {
    factors_.analyzePattern(a);
    analysed_starts_.assign(a.outerIndexPtr(), a.outerIndexPtr() + a.outerSize() + 1);
    analysed_indices_.assign(a.innerIndexPtr(), a.innerIndexPtr() + a.nonZeros());
}

std::optional<Eigen::VectorXd> ShiftedCholesky::solve(const Eigen::SparseMatrix<double>& a,
                                                      double shift, const Eigen::VectorXd& b,
                                                      double pivot_floor) {
    // The analysis reads positions only, so a compressed matrix with the same
    // starts and indices reuses it.
    if (!a.isCompressed()) return std::nullopt;
    if (!same_pattern(a)) analyse(a);
    factors_.setShift(shift);
    factors_.factorize(a);
    if (factors_.info() != Eigen::Success) return std::nullopt;

    // NaN pivots fail the comparison as well.
    const auto& pivots = factors_.vectorD();
    const bool pivots_clear =
        std::all_of(pivots.begin(), pivots.end(), [&](double d) { return d >= pivot_floor; });
    if (!pivots_clear) return std::nullopt;
    return Eigen::VectorXd(factors_.solve(b));
}

}  // namespace ovralis
