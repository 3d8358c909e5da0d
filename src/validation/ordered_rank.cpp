// SPQR behind a small interface: factorise, find dead columns, express them.

#include "validation/ordered_rank.hpp"

#include <algorithm>
#include <memory>
#include <queue>
#include <stdexcept>

#include <SuiteSparseQR.hpp>

namespace ovralis {
namespace {

// CHOLMOD's workspace, started and finished with the factorisation.
struct CholmodCommon {
    cholmod_common common{};
    CholmodCommon() { cholmod_l_start(&common); }
    ~CholmodCommon() { cholmod_l_finish(&common); }
    CholmodCommon(const CholmodCommon&) = delete;
    CholmodCommon& operator=(const CholmodCommon&) = delete;
};

struct SparseDeleter {
    cholmod_common* common;
    void operator()(cholmod_sparse* matrix) const { cholmod_l_free_sparse(&matrix, common); }
};
using CholmodSparse = std::unique_ptr<cholmod_sparse, SparseDeleter>;

CholmodSparse to_cholmod(const Eigen::SparseMatrix<double>& a, cholmod_common* common) {
    cholmod_sparse* out = cholmod_l_allocate_sparse(
        static_cast<std::size_t>(a.rows()), static_cast<std::size_t>(a.cols()),
        static_cast<std::size_t>(a.nonZeros()), /*sorted=*/1, /*packed=*/1, /*stype=*/0, CHOLMOD_REAL,
        common);
    if (out == nullptr) throw std::bad_alloc();
    auto* start = static_cast<SuiteSparse_long*>(out->p);
    auto* row = static_cast<SuiteSparse_long*>(out->i);
    auto* value = static_cast<double*>(out->x);
    SuiteSparse_long k = 0;
    for (Eigen::Index j = 0; j < a.outerSize(); ++j) {
        start[j] = k;
        for (Eigen::SparseMatrix<double>::InnerIterator it(a, j); it; ++it, ++k) {
            row[k] = it.row();
            value[k] = it.value();
        }
    }
    start[a.outerSize()] = k;
    return CholmodSparse(out, SparseDeleter{common});
}

// Copies R and reads the staircase: an independent column puts its pivot on
// the next row of R, a dead one has entries only on rows already taken.
void read_factor(const cholmod_sparse& r, const SuiteSparse_long* order, Eigen::Index columns,
                 ColumnFactorisation& f) {
    const auto* start = static_cast<const SuiteSparse_long*>(r.p);
    const auto* row = static_cast<const SuiteSparse_long*>(r.i);
    const auto* value = static_cast<const double*>(r.x);
    f.order.resize(static_cast<std::size_t>(columns));
    f.independent.assign(static_cast<std::size_t>(columns), false);
    f.position_of.resize(static_cast<std::size_t>(columns));
    f.r_start.assign(1, 0);
    Eigen::Index rows_taken = 0;
    for (Eigen::Index k = 0; k < columns; ++k) {
        const Eigen::Index column = order != nullptr ? order[k] : k;
        f.order[static_cast<std::size_t>(k)] = column;
        f.position_of[static_cast<std::size_t>(column)] = k;
        Eigen::Index last_row = -1;
        for (SuiteSparse_long e = start[k]; e < start[k + 1]; ++e) {
            f.r_row.push_back(row[e]);
            f.r_value.push_back(value[e]);
            last_row = std::max<Eigen::Index>(last_row, row[e]);
        }
        f.r_start.push_back(static_cast<Eigen::Index>(f.r_row.size()));
        if (last_row >= rows_taken) {
            f.independent[static_cast<std::size_t>(column)] = true;
            f.pivot_position.push_back(k);
            ++rows_taken;
        }
    }
    f.rank = rows_taken;
}

}  // namespace

ColumnFactorisation factorise_columns(const Eigen::SparseMatrix<double>& a, double tol,
                                      bool keep_order) {
    CholmodCommon workspace;
    cholmod_common* common = &workspace.common;
    CholmodSparse matrix = to_cholmod(a, common);
    cholmod_sparse* r = nullptr;
    SuiteSparse_long* order = nullptr;
    const int ordering = keep_order ? SPQR_ORDERING_FIXED : SPQR_ORDERING_DEFAULT;
    SuiteSparseQR<double>(ordering, tol, /*econ=*/0, matrix.get(), &r, &order, common);
    if (r == nullptr) throw std::runtime_error("sparse QR factorisation failed");
    const CholmodSparse r_owner(r, SparseDeleter{common});
    ColumnFactorisation f;
    read_factor(*r, order, a.cols(), f);
    if (order != nullptr) {
        cholmod_l_free(static_cast<std::size_t>(a.cols()), sizeof(SuiteSparse_long), order, common);
    }
    return f;
}

std::vector<ColumnCoefficient> dependent_combination(const ColumnFactorisation& f,
                                                     Eigen::Index column) {
    // Q' A(:, d) = R(:, d); solving R_live x = R(:, d) from the bottom row up
    // touches only rows that the right-hand side reaches.
    std::vector<double> rhs(static_cast<std::size_t>(f.rank), 0.0);
    std::priority_queue<Eigen::Index> pending;  // rows with a non-zero entry, largest first
    auto add = [&](Eigen::Index row, double v) {
        if (rhs[static_cast<std::size_t>(row)] == 0.0 && v != 0.0) pending.push(row);
        rhs[static_cast<std::size_t>(row)] += v;
    };
    const Eigen::Index d = f.position_of[static_cast<std::size_t>(column)];
    for (Eigen::Index e = f.r_start[d]; e < f.r_start[d + 1]; ++e) add(f.r_row[e], f.r_value[e]);

    std::vector<ColumnCoefficient> coefficients;
    Eigen::Index previous = -1;
    while (!pending.empty()) {
        const Eigen::Index row = pending.top();
        pending.pop();
        if (row == previous) continue;  // queued twice after a cancellation
        previous = row;
        const Eigen::Index k = f.pivot_position[static_cast<std::size_t>(row)];
        double diagonal = 0.0;
        for (Eigen::Index e = f.r_start[k]; e < f.r_start[k + 1]; ++e) {
            if (f.r_row[e] == row) diagonal += f.r_value[e];
        }
        const double x = rhs[static_cast<std::size_t>(row)] / diagonal;
        if (x == 0.0) continue;
        coefficients.push_back({f.order[static_cast<std::size_t>(k)], x});
        for (Eigen::Index e = f.r_start[k]; e < f.r_start[k + 1]; ++e) {
            if (f.r_row[e] < row) add(f.r_row[e], -f.r_value[e] * x);
        }
    }
    return coefficients;
}

}  // namespace ovralis
