// The union of a problem's Jacobian patterns, and Jacobians spread into it.

#include "jacobian/stable_pattern.hpp"

#include <algorithm>
#include <iterator>
#include <utility>

namespace ovralis {

Eigen::SparseMatrix<double> StablePattern::conform(Eigen::SparseMatrix<double> jacobian) {
    jacobian.makeCompressed();
    const bool same_shape =
        rows_ == jacobian.rows() && starts_.size() == static_cast<std::size_t>(jacobian.cols()) + 1;
    if (!same_shape) {
        rows_ = jacobian.rows();
        starts_.assign(jacobian.outerIndexPtr(), jacobian.outerIndexPtr() + jacobian.cols() + 1);
        indices_.assign(jacobian.innerIndexPtr(), jacobian.innerIndexPtr() + jacobian.nonZeros());
        return jacobian;
    }
    if (holds_exactly(jacobian)) return jacobian;
    widen_to(jacobian);
    return spread_into_pattern(jacobian);
}

bool StablePattern::holds_exactly(const Eigen::SparseMatrix<double>& jacobian) const {
    return indices_.size() == static_cast<std::size_t>(jacobian.nonZeros()) &&
           std::equal(starts_.begin(), starts_.end(), jacobian.outerIndexPtr()) &&
           std::equal(indices_.begin(), indices_.end(), jacobian.innerIndexPtr());
}

// Column by column, the sorted union of the kept rows and the Jacobian's.
void StablePattern::widen_to(const Eigen::SparseMatrix<double>& jacobian) {
    std::vector<int> starts{0};
    std::vector<int> indices;
    indices.reserve(indices_.size());
    const int* rows = jacobian.innerIndexPtr();
    const int* column_starts = jacobian.outerIndexPtr();
    for (Eigen::Index c = 0; c < jacobian.cols(); ++c) {
        std::set_union(indices_.begin() + starts_[c], indices_.begin() + starts_[c + 1],
                       rows + column_starts[c], rows + column_starts[c + 1],
                       std::back_inserter(indices));
        starts.push_back(static_cast<int>(indices.size()));
    }
    starts_ = std::move(starts);
    indices_ = std::move(indices);
}

// The Jacobian's values at their places in the kept pattern, zero elsewhere.
Eigen::SparseMatrix<double> StablePattern::spread_into_pattern(
    const Eigen::SparseMatrix<double>& jacobian) const {
    Eigen::SparseMatrix<double> spread(rows_, jacobian.cols());
    spread.resizeNonZeros(static_cast<Eigen::Index>(indices_.size()));
    std::copy(starts_.begin(), starts_.end(), spread.outerIndexPtr());
    std::copy(indices_.begin(), indices_.end(), spread.innerIndexPtr());
    double* values = spread.valuePtr();
    std::fill(values, values + indices_.size(), 0.0);
    for (Eigen::Index c = 0; c < jacobian.cols(); ++c) {
        int slot = starts_[c];
        for (Eigen::SparseMatrix<double>::InnerIterator it(jacobian, c); it; ++it) {
            while (indices_[slot] != it.row()) ++slot;
            values[slot] = it.value();
        }
    }
    return spread;
}

}  // namespace ovralis
