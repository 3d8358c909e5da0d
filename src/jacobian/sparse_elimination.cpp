#include "jacobian/sparse_elimination.hpp"

#include <algorithm>
#include <cmath>

namespace ovralis {
namespace {

using Entry = SparseEliminationWork::Entry;

// Copies row by row, adding `shift` on the diagonal (inserting it where the
// row has no diagonal entry), and records which rows hold each column.
void load(const Eigen::SparseMatrix<double, Eigen::RowMajor>& a, double shift,
          SparseEliminationWork& work) {
    const Eigen::Index n = a.rows();
    work.rows.resize(static_cast<std::size_t>(n));
    work.holders.resize(static_cast<std::size_t>(n));
    for (auto& holders : work.holders) holders.clear();
    work.first.assign(static_cast<std::size_t>(n), 0);
    work.row_at.resize(static_cast<std::size_t>(n));
    work.position_of.resize(static_cast<std::size_t>(n));
    for (Eigen::Index i = 0; i < n; ++i) {
        std::vector<Entry>& row = work.rows[static_cast<std::size_t>(i)];
        row.clear();
        bool diagonal_seen = false;
        for (Eigen::SparseMatrix<double, Eigen::RowMajor>::InnerIterator it(a, i); it; ++it) {
            row.push_back({it.col(), it.value()});
            diagonal_seen = diagonal_seen || it.col() == i;
        }
        if (!diagonal_seen) row.push_back({i, 0.0});
        std::sort(row.begin(), row.end(),
                  [](const Entry& l, const Entry& r) { return l.column < r.column; });
        for (Entry& entry : row) {
            if (entry.column == i) entry.value += shift;
            work.holders[static_cast<std::size_t>(entry.column)].push_back(i);
        }
        work.row_at[static_cast<std::size_t>(i)] = i;
        work.position_of[static_cast<std::size_t>(i)] = i;
    }
}

// The row's entry in column j, skipping (for good) the entries left of j:
// they belong to columns already eliminated or left unreduced, which no
// later step reads. Zero when the row has no entry there.
double entry_in(SparseEliminationWork& work, Eigen::Index row_id, Eigen::Index j) {
    const std::vector<Entry>& row = work.rows[static_cast<std::size_t>(row_id)];
    std::size_t& first = work.first[static_cast<std::size_t>(row_id)];
    while (first < row.size() && row[first].column < j) ++first;
    return first < row.size() && row[first].column == j ? row[first].value : 0.0;
}

// row -= factor * pivot row, over the columns right of j (both rows start at
// column j). Columns that only the pivot row holds are fill: the row now
// holds them too.
void subtract_pivot_row(SparseEliminationWork& work, Eigen::Index row_id, Eigen::Index pivot_id,
                        Eigen::Index j, double factor) {
    std::vector<Entry>& row = work.rows[static_cast<std::size_t>(row_id)];
    const std::vector<Entry>& pivot = work.rows[static_cast<std::size_t>(pivot_id)];
    std::size_t r = work.first[static_cast<std::size_t>(row_id)];
    if (r < row.size() && row[r].column == j) ++r;
    std::size_t p = work.first[static_cast<std::size_t>(pivot_id)] + 1;

    std::vector<Entry>& merged = work.merged;
    merged.clear();
    while (r < row.size() || p < pivot.size()) {
        if (p == pivot.size() || (r < row.size() && row[r].column < pivot[p].column)) {
            merged.push_back(row[r++]);
        } else if (r == row.size() || pivot[p].column < row[r].column) {
            merged.push_back({pivot[p].column, 0.0 - factor * pivot[p].value});
            work.holders[static_cast<std::size_t>(pivot[p].column)].push_back(row_id);
            ++p;
        } else {
            merged.push_back({row[r].column, row[r].value - factor * pivot[p].value});
            ++r;
            ++p;
        }
    }
    std::swap(row, merged);
    work.first[static_cast<std::size_t>(row_id)] = 0;
}

}  // namespace

Eigen::VectorXd solve_sparse_with_partial_pivoting(
    const Eigen::SparseMatrix<double, Eigen::RowMajor>& a, double shift,
    const Eigen::VectorXd& rhs, double threshold, SparseEliminationWork& work) {
    const Eigen::Index n = a.rows();
    load(a, shift, work);
    Eigen::VectorXd c = rhs;  // by row id
    std::vector<bool> reduced(static_cast<std::size_t>(n), false);

    for (Eigen::Index j = 0; j < n; ++j) {
        const std::vector<Eigen::Index>& holders = work.holders[static_cast<std::size_t>(j)];

        // The first row at or below position j with the largest magnitude:
        // ties go to the lower position, and NaN never wins.
        Eigen::Index pivot_id = work.row_at[static_cast<std::size_t>(j)];
        Eigen::Index pivot_position = j;
        double best = std::abs(entry_in(work, pivot_id, j));
        for (Eigen::Index id : holders) {
            const Eigen::Index position = work.position_of[static_cast<std::size_t>(id)];
            if (position <= j) continue;
            const double magnitude = std::abs(entry_in(work, id, j));
            if (magnitude > best || (magnitude == best && position < pivot_position)) {
                best = magnitude;
                pivot_id = id;
                pivot_position = position;
            }
        }
        if (pivot_position != j) {
            const Eigen::Index displaced = work.row_at[static_cast<std::size_t>(j)];
            work.row_at[static_cast<std::size_t>(j)] = pivot_id;
            work.row_at[static_cast<std::size_t>(pivot_position)] = displaced;
            work.position_of[static_cast<std::size_t>(pivot_id)] = j;
            work.position_of[static_cast<std::size_t>(displaced)] = pivot_position;
        }

        // A zero pivot may be one the row does not even store: never divide by it.
        const double pivot = entry_in(work, pivot_id, j);
        if (pivot == 0.0 || std::abs(pivot) < threshold) continue;
        reduced[static_cast<std::size_t>(j)] = true;

        std::vector<Entry>& pivot_row = work.rows[static_cast<std::size_t>(pivot_id)];
        const std::size_t at_j = work.first[static_cast<std::size_t>(pivot_id)];
        for (std::size_t e = at_j + 1; e < pivot_row.size(); ++e) pivot_row[e].value /= pivot;
        pivot_row[at_j].value = 1.0;
        c[pivot_id] /= pivot;

        for (Eigen::Index id : holders) {
            if (work.position_of[static_cast<std::size_t>(id)] <= j) continue;
            const double factor = entry_in(work, id, j);
            if (factor == 0.0) continue;
            subtract_pivot_row(work, id, pivot_id, j, factor);
            c[id] -= factor * c[pivot_id];
        }
    }

    // Back substitution by position; unreduced columns count as zero in the
    // rows above (see banded_elimination.cpp).
    Eigen::VectorXd delta(n);
    Eigen::VectorXd known = Eigen::VectorXd::Zero(n);
    for (Eigen::Index i = n - 1; i >= 0; --i) {
        const Eigen::Index id = work.row_at[static_cast<std::size_t>(i)];
        const std::vector<Entry>& row = work.rows[static_cast<std::size_t>(id)];
        double sum = c[id];
        for (std::size_t e = work.first[static_cast<std::size_t>(id)]; e < row.size(); ++e) {
            if (row[e].column > i) sum -= row[e].value * known[row[e].column];
        }
        delta[i] = sum;
        if (reduced[static_cast<std::size_t>(i)]) known[i] = sum;
    }
    return delta;
}

}  // namespace ovralis
