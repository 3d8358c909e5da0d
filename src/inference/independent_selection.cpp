#include "inference/independent_selection.hpp"

#include <cmath>

#include "validation/equation_jacobian.hpp"
#include "validation/ordered_rank.hpp"

namespace ovralis::inference {
namespace {

// Rows within this of the span of the rows before them are dead for the
// factorisation, as in the constraint analysis.
constexpr double kRankTolerance = 1e-8;

// Per column of the factorised matrix (per equation row): the diagonal entry
// of R it put its pivot on, 0 for a dead one.
std::vector<double> pivot_sizes(const ColumnFactorisation& f) {
    std::vector<double> size(f.independent.size(), 0.0);
    for (Eigen::Index row = 0; row < f.rank; ++row) {
        const Eigen::Index position = f.pivot_position[static_cast<std::size_t>(row)];
        for (Eigen::Index e = f.r_start[position]; e < f.r_start[position + 1]; ++e) {
            if (f.r_row[e] == row) {
                size[static_cast<std::size_t>(f.order[static_cast<std::size_t>(position)])] +=
                    std::fabs(f.r_value[e]);
            }
        }
    }
    return size;
}

}  // namespace

std::vector<Independence> independent_candidates(const System& system,
                                                 const std::vector<Constraint>& candidates) {
    System trial = system;
    trial.constraints.insert(trial.constraints.end(), candidates.begin(), candidates.end());
    const EquationJacobian jacobian = equation_jacobian(trial);
    const Eigen::SparseMatrix<double> rows_as_columns = jacobian.matrix.transpose();
    const ColumnFactorisation rows = factorise_columns(rows_as_columns, kRankTolerance, true);
    const std::vector<double> pivots = pivot_sizes(rows);

    std::vector<Independence> out(candidates.size());
    const std::size_t first = system.constraints.size();
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        std::size_t adding = 0, rows = 0;
        for (Eigen::Index row = jacobian.first_row[first + k]; row < jacobian.first_row[first + k + 1]; ++row, ++rows) {
            if (pivots[static_cast<std::size_t>(row)] >= kIndependenceMargin) ++adding;
        }
        out[k] = adding == rows ? Independence::Independent
                 : adding == 0  ? Independence::Dependent
                                : Independence::Partly;
    }
    return out;
}

}  // namespace ovralis::inference
