#include "jacobian/normal_matrix.hpp"

#include <algorithm>
#include <numeric>
#include <utility>

namespace ovralis {
namespace {

// Each row's entries as (column, index into J's values), rows in order and
// each row's entries in column order: a counting sort of J's entries by row.
struct RowsOfJacobian {
    std::vector<int> starts;
    std::vector<int> columns;
    std::vector<int> entries;
};

RowsOfJacobian rows_of(const Eigen::SparseMatrix<double>& jacobian) {
    const int rows = static_cast<int>(jacobian.rows());
    const int* col_starts = jacobian.outerIndexPtr();
    const int* row_index = jacobian.innerIndexPtr();
    const int non_zeros = static_cast<int>(jacobian.nonZeros());
    RowsOfJacobian result;
    result.starts.assign(static_cast<std::size_t>(rows) + 1, 0);
    for (int e = 0; e < non_zeros; ++e) ++result.starts[static_cast<std::size_t>(row_index[e]) + 1];
    std::partial_sum(result.starts.begin(), result.starts.end(), result.starts.begin());
    result.columns.resize(static_cast<std::size_t>(non_zeros));
    result.entries.resize(static_cast<std::size_t>(non_zeros));
    std::vector<int> next(result.starts.begin(), result.starts.end() - 1);
    for (int c = 0; c < jacobian.outerSize(); ++c) {
        for (int e = col_starts[c]; e < col_starts[c + 1]; ++e) {
            const int at = next[static_cast<std::size_t>(row_index[e])]++;
            result.columns[static_cast<std::size_t>(at)] = c;
            result.entries[static_cast<std::size_t>(at)] = e;
        }
    }
    return result;
}

// Calls visit(a, b) for every ordered pair of entries a <= b of each row
// (positions in `rows`), row by row: the products J^T J is the sum of.
template <class Visit>
void for_each_row_pair(const RowsOfJacobian& rows, Visit&& visit) {
    for (std::size_t r = 0; r + 1 < rows.starts.size(); ++r) {
        for (int a = rows.starts[r]; a < rows.starts[r + 1]; ++a) {
            for (int b = a; b < rows.starts[r + 1]; ++b) visit(a, b);
        }
    }
}

// The pattern with variable j moved to position order[j]: a counting sort of
// the entries by their new column, then each column's rows sorted.
Eigen::SparseMatrix<double> placed_pattern(const Eigen::SparseMatrix<double>& pattern,
                                           const std::vector<int>& order) {
    const Eigen::Index n = pattern.cols();
    Eigen::SparseMatrix<double> placed(n, n);
    int* starts = placed.outerIndexPtr();
    for (Eigen::Index c = 0; c < n; ++c) {
        starts[order[static_cast<std::size_t>(c)] + 1] =
            pattern.outerIndexPtr()[c + 1] - pattern.outerIndexPtr()[c];
    }
    std::partial_sum(starts, starts + n + 1, starts);
    placed.data().resize(pattern.nonZeros());
    int* rows = placed.innerIndexPtr();
    for (Eigen::Index c = 0; c < n; ++c) {
        int at = starts[order[static_cast<std::size_t>(c)]];
        for (int e = pattern.outerIndexPtr()[c]; e < pattern.outerIndexPtr()[c + 1]; ++e) {
            rows[at++] = order[static_cast<std::size_t>(pattern.innerIndexPtr()[e])];
        }
    }
    for (Eigen::Index c = 0; c < n; ++c) std::sort(rows + starts[c], rows + starts[c + 1]);
    std::fill(placed.valuePtr(), placed.valuePtr() + placed.nonZeros(), 0.0);
    return placed;
}

}  // namespace

// Column c of J^T J holds every column that shares a row of J with c: the
// columns of the rows column c reads, gathered once each with a marker,
// then sorted.
Eigen::SparseMatrix<double> normal_pattern(const Eigen::SparseMatrix<double>& jacobian) {
    const RowsOfJacobian rows = rows_of(jacobian);
    const int n = static_cast<int>(jacobian.cols());
    const int* col_starts = jacobian.outerIndexPtr();
    const int* row_index = jacobian.innerIndexPtr();
    std::vector<int> marked_for(static_cast<std::size_t>(n), -1);
    std::vector<int> starts{0};
    std::vector<int> indices;
    for (int c = 0; c < n; ++c) {
        const std::size_t first = indices.size();
        // The whole diagonal is stored, so damping can be added to any
        // variable, even one that no equation reads.
        marked_for[static_cast<std::size_t>(c)] = c;
        indices.push_back(c);
        for (int e = col_starts[c]; e < col_starts[c + 1]; ++e) {
            const auto r = static_cast<std::size_t>(row_index[e]);
            for (int a = rows.starts[r]; a < rows.starts[r + 1]; ++a) {
                const int other = rows.columns[static_cast<std::size_t>(a)];
                if (marked_for[static_cast<std::size_t>(other)] == c) continue;
                marked_for[static_cast<std::size_t>(other)] = c;
                indices.push_back(other);
            }
        }
        std::sort(indices.begin() + static_cast<std::ptrdiff_t>(first), indices.end());
        starts.push_back(static_cast<int>(indices.size()));
    }
    Eigen::SparseMatrix<double> pattern(n, n);
    pattern.resizeNonZeros(static_cast<Eigen::Index>(indices.size()));
    std::copy(starts.begin(), starts.end(), pattern.outerIndexPtr());
    std::copy(indices.begin(), indices.end(), pattern.innerIndexPtr());
    std::fill(pattern.valuePtr(), pattern.valuePtr() + pattern.nonZeros(), 1.0);
    return pattern;
}

void NormalMatrix::prepare(const Eigen::SparseMatrix<double>& jacobian,
                           const Eigen::SparseMatrix<double>& pattern, std::vector<int> order) {
    const int n = static_cast<int>(jacobian.cols());
    if (order.empty()) {
        order.resize(static_cast<std::size_t>(n));
        std::iota(order.begin(), order.end(), 0);
    }
    order_ = std::move(order);
    jacobian_starts_.assign(jacobian.outerIndexPtr(), jacobian.outerIndexPtr() + n + 1);
    jacobian_indices_.assign(jacobian.innerIndexPtr(),
                             jacobian.innerIndexPtr() + jacobian.nonZeros());

    const RowsOfJacobian rows = rows_of(jacobian);
    row_starts_ = rows.starts;
    entry_of_ = rows.entries;

    // The pattern in the prepared order, then each pair's slots in it.
    normal_ = placed_pattern(pattern, order_);
    auto placed = [&](int entry) {
        return order_[static_cast<std::size_t>(rows.columns[static_cast<std::size_t>(entry)])];
    };
    auto slot = [&](int row, int column) {
        const int* begin = normal_.innerIndexPtr() + normal_.outerIndexPtr()[column];
        const int* end = normal_.innerIndexPtr() + normal_.outerIndexPtr()[column + 1];
        return static_cast<int>(std::lower_bound(begin, end, row) - normal_.innerIndexPtr());
    };
    lower_slot_.clear();
    upper_slot_.clear();
    for_each_row_pair(rows, [&](int a, int b) {
        const int i = placed(a);
        const int j = placed(b);
        lower_slot_.push_back(slot(std::max(i, j), std::min(i, j)));
        upper_slot_.push_back(i == j ? -1 : slot(std::min(i, j), std::max(i, j)));
    });
}

bool NormalMatrix::fits(const Eigen::SparseMatrix<double>& jacobian) const {
    if (!jacobian.isCompressed()) return false;
    const std::size_t columns = static_cast<std::size_t>(jacobian.cols());
    const std::size_t non_zeros = static_cast<std::size_t>(jacobian.nonZeros());
    return jacobian_starts_.size() == columns + 1 && jacobian_indices_.size() == non_zeros &&
           std::equal(jacobian_starts_.begin(), jacobian_starts_.end(), jacobian.outerIndexPtr()) &&
           std::equal(jacobian_indices_.begin(), jacobian_indices_.end(), jacobian.innerIndexPtr());
}

Eigen::SparseMatrix<double>& NormalMatrix::assemble(const Eigen::SparseMatrix<double>& jacobian) {
    const double* j_values = jacobian.valuePtr();
    double* values = normal_.valuePtr();
    std::fill(values, values + normal_.nonZeros(), 0.0);
    std::size_t pair = 0;
    for (std::size_t r = 0; r + 1 < row_starts_.size(); ++r) {
        for (int a = row_starts_[r]; a < row_starts_[r + 1]; ++a) {
            const double value_a = j_values[entry_of_[static_cast<std::size_t>(a)]];
            for (int b = a; b < row_starts_[r + 1]; ++b, ++pair) {
                const double product = value_a * j_values[entry_of_[static_cast<std::size_t>(b)]];
                values[lower_slot_[pair]] += product;
                if (upper_slot_[pair] >= 0) values[upper_slot_[pair]] += product;
            }
        }
    }
    return normal_;
}

Eigen::VectorXd NormalMatrix::to_order(const Eigen::VectorXd& natural) const {
    Eigen::VectorXd ordered(natural.size());
    for (Eigen::Index j = 0; j < natural.size(); ++j)
        ordered[order_[static_cast<std::size_t>(j)]] = natural[j];
    return ordered;
}

Eigen::VectorXd NormalMatrix::from_order(const Eigen::VectorXd& ordered) const {
    Eigen::VectorXd natural(ordered.size());
    for (Eigen::Index j = 0; j < ordered.size(); ++j)
        natural[j] = ordered[order_[static_cast<std::size_t>(j)]];
    return natural;
}

}  // namespace ovralis
