// SPQR behind a small interface: factorise, find dead columns, express them.

#include "validation/ordered_rank.hpp"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <queue>
#include <stdexcept>

#include <SuiteSparseQR.hpp>

#include "jacobian/cholmod_workspace.hpp"
#include "solver/abandonable_work.hpp"

namespace ovralis {
namespace {

// Below this many entries (a sketch of a few thousand constraints) a
// factorisation ends long before anyone could press Ctrl-C, and starting a
// thread for it would only add to an interactive call's time.
constexpr Eigen::Index kThreadedNonZeros = 20000;

struct SparseDeleter {
    cholmod_common* common;
    void operator()(cholmod_sparse* matrix) const { cholmod_l_free_sparse(&matrix, common); }
};
using CholmodSparse = std::unique_ptr<cholmod_sparse, SparseDeleter>;

// The matrix in CHOLMOD's compressed columns, polling every kStepsPerPoll columns.
CholmodSparse to_cholmod(const Eigen::SparseMatrix<double>& a, cholmod_common* common,
                         const InterruptPoll& interrupted) {
    CholmodSparse out(cholmod_l_allocate_sparse(
                          static_cast<std::size_t>(a.rows()), static_cast<std::size_t>(a.cols()),
                          static_cast<std::size_t>(a.nonZeros()), /*sorted=*/1, /*packed=*/1,
                          /*stype=*/0, CHOLMOD_REAL, common),
                      SparseDeleter{common});
    if (out == nullptr) throw std::bad_alloc();
    auto* start = static_cast<SuiteSparse_long*>(out->p);
    auto* row = static_cast<SuiteSparse_long*>(out->i);
    auto* value = static_cast<double*>(out->x);
    SuiteSparse_long k = 0;
    for (Eigen::Index j = 0; j < a.outerSize(); ++j) {
        if (j % static_cast<Eigen::Index>(kStepsPerPoll) == 0) throw_if_interrupted(interrupted);
        start[j] = k;
        for (Eigen::SparseMatrix<double>::InnerIterator it(a, j); it; ++it, ++k) {
            row[k] = it.row();
            value[k] = it.value();
        }
    }
    start[a.outerSize()] = k;
    return out;
}

// Copies R and reads the staircase: an independent column puts its pivot on
// the next row of R, a dead one has entries only on rows already taken.
// Polls every kStepsPerPoll columns.
void read_factor(const cholmod_sparse& r, const SuiteSparse_long* order, Eigen::Index columns,
                 const InterruptPoll& interrupted, ColumnFactorisation& f) {
    const auto* start = static_cast<const SuiteSparse_long*>(r.p);
    const auto* row = static_cast<const SuiteSparse_long*>(r.i);
    const auto* value = static_cast<const double*>(r.x);
    f.order.resize(static_cast<std::size_t>(columns));
    f.independent.assign(static_cast<std::size_t>(columns), false);
    f.position_of.resize(static_cast<std::size_t>(columns));
    f.r_start.assign(1, 0);
    Eigen::Index rows_taken = 0;
    for (Eigen::Index k = 0; k < columns; ++k) {
        if (k % static_cast<Eigen::Index>(kStepsPerPoll) == 0) throw_if_interrupted(interrupted);
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

// One factorisation with everything it touches: its own CHOLMOD workspace, its
// own copy of the matrix, and the factor it makes. Whoever lets go of it last
// frees it, so an interrupted caller can leave it to finish on its thread.
struct SparseQr {
    CholmodWorkspace<long> workspace;  // first in, last out: the others free through it
    CholmodSparse matrix;
    CholmodSparse r{nullptr, SparseDeleter{&workspace.common}};
    SuiteSparse_long* order = nullptr;  // E: position -> column, unless kept as given
    double tol;
    int ordering;

    SparseQr(const Eigen::SparseMatrix<double>& a, double tolerance, bool keep_order,
             const InterruptPoll& interrupted)
        : matrix(to_cholmod(a, &workspace.common, interrupted)),
          tol(tolerance),
          ordering(keep_order ? SPQR_ORDERING_FIXED : SPQR_ORDERING_DEFAULT) {}
    ~SparseQr() {
        cholmod_l_free(matrix->ncol, sizeof(SuiteSparse_long), order, &workspace.common);
    }
    SparseQr(const SparseQr&) = delete;
    SparseQr& operator=(const SparseQr&) = delete;

    // Failures (out of memory among them) leave `r` empty, with the reason in
    // the workspace's status.
    void run() noexcept {
        cholmod_sparse* factor = nullptr;
        SuiteSparseQR<double>(ordering, tol, /*econ=*/0, matrix.get(), &factor, &order,
                              &workspace.common);
        r.reset(factor);
    }
};

}  // namespace

ColumnFactorisation factorise_columns(const Eigen::SparseMatrix<double>& a, double tol,
                                      bool keep_order, const InterruptPoll& interrupted) {
    const auto job = std::make_shared<SparseQr>(a, tol, keep_order, interrupted);
    const bool worth_a_thread = a.nonZeros() >= kThreadedNonZeros;
    run_abandonable([job]() noexcept { job->run(); }, worth_a_thread ? interrupted : InterruptPoll{});
    if (job->r == nullptr) {
        if (job->workspace.common.status == CHOLMOD_OUT_OF_MEMORY) throw std::bad_alloc();
        throw std::runtime_error("sparse QR factorisation failed");
    }
    ColumnFactorisation f;
    read_factor(*job->r, job->order, a.cols(), interrupted, f);
    return f;
}

DependentCombinations::DependentCombinations(const ColumnFactorisation& f)
    : f_(f),
      diagonal_(static_cast<std::size_t>(f.rank), 0.0),
      rhs_(static_cast<std::size_t>(f.rank), 0.0),
      magnitude_(static_cast<std::size_t>(f.rank), 0.0) {
    for (Eigen::Index row = 0; row < f.rank; ++row) {
        const Eigen::Index k = f.pivot_position[static_cast<std::size_t>(row)];
        for (Eigen::Index e = f.r_start[k]; e < f.r_start[k + 1]; ++e) {
            if (f.r_row[e] == row) diagonal_[static_cast<std::size_t>(row)] += f.r_value[e];
        }
    }
}

std::vector<ColumnCoefficient> DependentCombinations::of(Eigen::Index column) {
    return of_sum({{column, 1.0}});
}

std::vector<ColumnCoefficient> DependentCombinations::of_sum(
    const std::vector<ColumnCoefficient>& weights) {
    // Q' A(:, d) = R(:, d); solving R_live x = R(:, d) from the bottom row up
    // touches only rows that the right-hand side reaches.
    std::priority_queue<Eigen::Index> pending;  // rows with a term, largest first
    auto add = [&](Eigen::Index row, double v) {
        const auto r = static_cast<std::size_t>(row);
        if (magnitude_[r] == 0.0) pending.push(row);
        rhs_[r] += v;
        magnitude_[r] += std::abs(v);
    };
    double column_norm = 0.0;  // of the weighted sum, bounded by the sum of weighted norms
    for (const ColumnCoefficient& w : weights) {
        const Eigen::Index d = f_.position_of[static_cast<std::size_t>(w.column)];
        double norm = 0.0;
        for (Eigen::Index e = f_.r_start[d]; e < f_.r_start[d + 1]; ++e) {
            if (f_.r_value[e] == 0.0) continue;
            add(f_.r_row[e], w.value * f_.r_value[e]);
            norm += f_.r_value[e] * f_.r_value[e];
        }
        column_norm += std::abs(w.value) * std::sqrt(norm);
    }

    std::vector<ColumnCoefficient> coefficients;
    while (!pending.empty()) {
        const Eigen::Index row = pending.top();
        pending.pop();
        const auto r = static_cast<std::size_t>(row);
        const double value = rhs_[r];
        const double noise = kRoundingNoise * std::max(magnitude_[r], column_norm);
        rhs_[r] = 0.0;
        magnitude_[r] = 0.0;
        if (!(std::abs(value) > noise)) continue;
        const Eigen::Index k = f_.pivot_position[r];
        const double x = value / diagonal_[r];
        coefficients.push_back({f_.order[static_cast<std::size_t>(k)], x});
        for (Eigen::Index e = f_.r_start[k]; e < f_.r_start[k + 1]; ++e) {
            if (f_.r_row[e] < row && f_.r_value[e] != 0.0) add(f_.r_row[e], -f_.r_value[e] * x);
        }
    }
    return coefficients;
}

}  // namespace ovralis
