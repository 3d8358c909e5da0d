// Fill-reducing orders from CHOLMOD's symbolic analysis, which reports the
// factorisation's cost in each order it tries.

#include "jacobian/fill_reducing_order.hpp"

#include <memory>
#include <new>
#include <optional>
#include <utility>

#include <cholmod.h>

#include "jacobian/cholmod_workspace.hpp"

namespace ovralis {
namespace {

// Nested dissection takes several times longer to find than minimum degree;
// it is tried only where the factorisation would cost more than this many
// operations per entry of the factor, and so runs long enough to repay it.
constexpr double kDissectionWorthTrying = 50.0;

struct Ordering {
    std::vector<int> positions;
    double operations = 0.0;  // of the numeric factorisation in this order
    double factor_entries = 0.0;
};

// The upper triangle of `upper` seen as CHOLMOD's symmetric pattern,
// without a copy: CHOLMOD reads it only.
cholmod_sparse pattern_view(const Eigen::SparseMatrix<double>& upper) {
    cholmod_sparse view{};
    view.nrow = static_cast<std::size_t>(upper.rows());
    view.ncol = static_cast<std::size_t>(upper.cols());
    view.nzmax = static_cast<std::size_t>(upper.nonZeros());
    view.p = const_cast<int*>(upper.outerIndexPtr());
    view.i = const_cast<int*>(upper.innerIndexPtr());
    view.stype = 1;
    view.itype = CHOLMOD_INT;
    view.xtype = CHOLMOD_PATTERN;
    view.dtype = CHOLMOD_DOUBLE;
    view.sorted = 1;
    view.packed = 1;
    return view;
}

// The order one CHOLMOD method gives, postordered, or nullopt when the
// method fails (METIS on a pattern it declines, say).
std::optional<Ordering> ordered_by(cholmod_sparse& pattern, int method) {
    CholmodWorkspace<int> cholmod;
    cholmod_common& common = cholmod.common;
    common.nmethods = 1;
    common.method[0].ordering = method;
    common.postorder = 1;
    cholmod_factor* symbolic = cholmod_analyze(&pattern, &common);
    if (symbolic == nullptr) {
        if (common.status == CHOLMOD_OUT_OF_MEMORY) throw std::bad_alloc();
        return std::nullopt;
    }
    // Perm lists the variables in elimination sequence; its inverse says
    // where each variable goes.
    const auto* sequence = static_cast<const int*>(symbolic->Perm);
    Ordering ordering;
    ordering.positions.resize(pattern.ncol);
    for (std::size_t k = 0; k < pattern.ncol; ++k)
        ordering.positions[static_cast<std::size_t>(sequence[k])] = static_cast<int>(k);
    ordering.operations = common.fl;
    ordering.factor_entries = common.lnz;
    cholmod_free_factor(&symbolic, &common);
    return ordering;
}

}  // namespace

std::vector<int> fill_reducing_order(const Eigen::SparseMatrix<double>& pattern) {
    Eigen::SparseMatrix<double> upper = pattern.triangularView<Eigen::Upper>();
    upper.makeCompressed();
    cholmod_sparse view = pattern_view(upper);
    std::optional<Ordering> best = ordered_by(view, CHOLMOD_AMD);
    if (!best) throw std::bad_alloc();  // minimum degree fails only for memory
    if (best->operations > kDissectionWorthTrying * best->factor_entries) {
        std::optional<Ordering> dissected = ordered_by(view, CHOLMOD_METIS);
        if (dissected && dissected->operations < best->operations) best = std::move(dissected);
    }
    return std::move(best->positions);
}

}  // namespace ovralis
