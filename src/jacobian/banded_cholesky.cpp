#include "jacobian/banded_cholesky.hpp"

#include <algorithm>

namespace ovralis {

// Column by column: once D(j) is known, column j of L is A's column j
// divided by it, and the rows below, within the band, lose the rank-one term
// L(i, j) D(j) L(k, j) from each entry (i, k). Working this way round, every
// entry read was written at an earlier column, which keeps the loops free of
// the store-to-load stalls a row-by-row sweep meets when vectorised.
bool BandedCholesky::factorize(const Eigen::SparseMatrix<double>& matrix, Eigen::Index half_width,
                               double shift, double pivot_floor) {
    const Eigen::Index n = matrix.rows();
    const Eigen::Index w = half_width;
    size_ = n;
    half_width_ = w;
    values_.assign(static_cast<std::size_t>(n * (w + 1)), 0.0);
    for (Eigen::Index column = 0; column < matrix.outerSize(); ++column) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(matrix, column); it; ++it) {
            if (it.row() >= column) at(it.row(), column) += it.value();
        }
    }
    inverse_pivots_.resize(n);
    for (Eigen::Index j = 0; j < n; ++j) {
        const double pivot = at(j, j) + shift;
        if (!(pivot >= pivot_floor)) return false;
        at(j, j) = pivot;
        inverse_pivots_[j] = 1.0 / pivot;
        const Eigen::Index last = std::min(n - 1, j + w);
        for (Eigen::Index i = j + 1; i <= last; ++i) {
            double* row = &at(i, 0);
            const double scaled = row[j];  // L(i, j) D(j)
            // Bands are often sparse inside (a radius coupled to nothing near
            // it); a zero column entry updates nothing.
            if (scaled == 0.0) continue;
            const double l = scaled * inverse_pivots_[j];
            for (Eigen::Index k = j + 1; k < i; ++k) row[k] -= scaled * at(k, j);
            row[i] -= scaled * l;
            row[j] = l;
        }
    }
    return true;
}

Eigen::VectorXd BandedCholesky::solve(const Eigen::VectorXd& b) const {
    const Eigen::Index n = size_;
    const Eigen::Index w = half_width_;
    // Both substitutions sum each unknown in a local and store it once: loops
    // that updated x in place would store and reload it around every term,
    // or read back through wide loads what they had just stored piecewise.
    // The term of the unknown solved just before comes last, so each row
    // waits on its predecessor for one multiply-add only.
    Eigen::VectorXd x = b;
    for (Eigen::Index i = 0; i < n; ++i) {
        const double* row = &at(i, 0);
        double sum = x[i];
        for (Eigen::Index k = std::max<Eigen::Index>(0, i - w); k < i; ++k) sum -= row[k] * x[k];
        x[i] = sum;
    }
    x.array() *= inverse_pivots_.array();
    for (Eigen::Index i = n - 1; i >= 0; --i) {
        double sum = x[i];
        const Eigen::Index last = std::min(n - 1, i + w);
        for (Eigen::Index k = last; k > i; --k) sum -= at(k, i) * x[k];
        x[i] = sum;
    }
    return x;
}

}  // namespace ovralis
