#include "jacobian/sparse_elimination.hpp"

#include <algorithm>
#include <cmath>
#include <span>

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

// Merges the fill into the row going backwards from a tail grown by its size:
// only the entries right of the first fill column move.
void merge_fill_into_tail(std::vector<Entry>& row, std::span<const Entry> fill) {
    std::size_t unread = row.size();
    row.resize(row.size() + fill.size());
    std::size_t unwritten = row.size();
    for (std::size_t f = fill.size(); f > 0;) {
        if (unread > 0 && row[unread - 1].column > fill[f - 1].column) {
            row[--unwritten] = row[--unread];
        } else {
            row[--unwritten] = fill[--f];
        }
    }
}

// Merges the fill into the row going forwards into the entries left of
// `first`, which are out of play: only the entries left of the last fill
// column move. Needs at least fill.size() such entries.
void merge_fill_into_prefix(std::vector<Entry>& row, std::size_t& first,
                            std::span<const Entry> fill) {
    std::size_t unread = first;
    first -= fill.size();
    std::size_t unwritten = first;
    for (std::size_t f = 0; f < fill.size();) {
        if (unread < row.size() && row[unread].column < fill[f].column) {
            row[unwritten++] = row[unread++];
        } else {
            row[unwritten++] = fill[f++];
        }
    }
}

// How many of the fill entries (a leading run) go in through the prefix, the
// rest going in through the tail, so that the fewest entries move. `at[f]` is
// the index of the row entry that fill entry f precedes.
std::size_t fill_through_prefix(const std::vector<std::size_t>& at, std::size_t first,
                                std::size_t row_size) {
    const std::size_t count = at.size();
    std::size_t best = 0;
    std::size_t best_moves = row_size - at[0];
    for (std::size_t split = 1; split <= std::min(count, first); ++split) {
        const std::size_t moves =
            (at[split - 1] - first) + (split < count ? row_size - at[split] : 0);
        if (moves < best_moves) {
            best = split;
            best_moves = moves;
        }
    }
    return best;
}

// row -= factor * pivot row, over the columns right of j (both rows start at
// column j, whose entry in the row is eliminated and drops out of play).
// Columns both rows hold are updated where they stand; columns that only the
// pivot row holds are fill, which the row now holds too. Eliminating in the
// variable order, fill typically lands just right of j and at the far end of
// the row, so the fill near j goes in through the entries left of `first`,
// which are out of play, and the rest through the tail.
void subtract_pivot_row(SparseEliminationWork& work, Eigen::Index row_id, Eigen::Index pivot_id,
                        Eigen::Index j, double factor) {
    std::vector<Entry>& row = work.rows[static_cast<std::size_t>(row_id)];
    const std::vector<Entry>& pivot = work.rows[static_cast<std::size_t>(pivot_id)];
    std::size_t& first = work.first[static_cast<std::size_t>(row_id)];
    if (first < row.size() && row[first].column == j) ++first;

    std::vector<Entry>& fill = work.fill;
    std::vector<std::size_t>& fill_at = work.fill_at;
    fill.clear();
    fill_at.clear();
    std::size_t r = first;
    for (std::size_t p = work.first[static_cast<std::size_t>(pivot_id)] + 1; p < pivot.size();
         ++p) {
        const Eigen::Index column = pivot[p].column;
        while (r < row.size() && row[r].column < column) ++r;
        if (r < row.size() && row[r].column == column) {
            row[r].value = row[r].value - factor * pivot[p].value;
            ++r;
        } else {
            fill.push_back({column, 0.0 - factor * pivot[p].value});
            fill_at.push_back(r);
            work.holders[static_cast<std::size_t>(column)].push_back(row_id);
        }
    }
    if (fill.empty()) return;
    const std::span<const Entry> all_fill(fill);
    const std::size_t split = fill_through_prefix(fill_at, first, row.size());
    if (split < fill.size()) merge_fill_into_tail(row, all_fill.subspan(split));
    if (split > 0) merge_fill_into_prefix(row, first, all_fill.first(split));
}

}  // namespace

Eigen::VectorXd solve_sparse_with_partial_pivoting(
    const Eigen::SparseMatrix<double, Eigen::RowMajor>& a, double shift, const Eigen::VectorXd& rhs,
    double threshold, SparseEliminationWork& work) {
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
