#include "jacobian/shifted_cholesky.hpp"

#include <algorithm>

#include <Eigen/OrderingMethods>

namespace ovralis {

std::vector<int> fill_reducing_order(const Eigen::SparseMatrix<double>& pattern) {
    // The ordering gives the elimination sequence; its inverse says where
    // each variable goes.
    Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int> sequence;
    Eigen::AMDOrdering<int>()(pattern, sequence);
    const Eigen::PermutationMatrix<Eigen::Dynamic, Eigen::Dynamic, int> positions =
        sequence.inverse();
    const int* indices = positions.indices().data();
    return std::vector<int>(indices, indices + positions.size());
}

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
