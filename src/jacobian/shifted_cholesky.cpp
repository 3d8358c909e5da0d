#include "jacobian/shifted_cholesky.hpp"

#include <algorithm>

namespace ovralis {

void ShiftedCholesky::analyse(const Eigen::SparseMatrix<double>& ordered) {
    factors_.analyzePattern(ordered);
}

bool ShiftedCholesky::factorize(const Eigen::SparseMatrix<double>& ordered, double shift,
                                double pivot_floor) {
    factors_.setShift(shift);
    factors_.factorize(ordered);
    if (factors_.info() != Eigen::Success) return false;
    // NaN pivots fail the comparison as well.
    const auto& pivots = factors_.vectorD();
    return std::all_of(pivots.begin(), pivots.end(), [&](double d) { return d >= pivot_floor; });
}

}  // namespace ovralis
