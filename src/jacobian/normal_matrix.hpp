#pragma once

// JᵀJ for a run of Jacobians that share one sparsity pattern (the iterations
// of one solve), assembled straight into a compressed matrix through a
// scatter map made once: no sparse product, no sorting, no allocation per
// iteration. The variables may be placed in any order, so a fill-reducing
// order costs nothing extra.

#include <vector>

#include <Eigen/Core>
#include <Eigen/SparseCore>

namespace ovralis {

class NormalMatrix {
public:
    // Makes the map for the pattern of `jacobian` (compressed, column-major),
    // whose normal_pattern is `pattern`, with variable j placed at position
    // order[j]; an empty order keeps the variables where they are.
    void prepare(const Eigen::SparseMatrix<double>& jacobian,
                 const Eigen::SparseMatrix<double>& pattern, std::vector<int> order = {});

    // Whether `jacobian` has the pattern prepare was given.
    bool fits(const Eigen::SparseMatrix<double>& jacobian) const;

    // JᵀJ of a Jacobian that fits, both triangles and the whole diagonal
    // stored, in the prepared order. The caller may change the values (damp
    // the diagonal, say) until the next assembly.
    Eigen::SparseMatrix<double>& assemble(const Eigen::SparseMatrix<double>& jacobian);

    const Eigen::SparseMatrix<double>& matrix() const { return normal_; }

    // Position of each variable (the identity when none was given).
    const std::vector<int>& order() const { return order_; }

    // A vector over the variables moved into the prepared order, and back.
    Eigen::VectorXd to_order(const Eigen::VectorXd& natural) const;
    Eigen::VectorXd from_order(const Eigen::VectorXd& ordered) const;

private:
    std::vector<int> jacobian_starts_;  // the prepared pattern of J
    std::vector<int> jacobian_indices_;
    std::vector<int> order_;
    // J's entries regrouped by row: row_starts_ delimit each row's entries,
    // entry_of_ gives each one's index in J's value array.
    std::vector<int> row_starts_;
    std::vector<int> entry_of_;
    // For each pair (a, b) of entries of one row, taken row by row with a
    // and b in row order, the value slot(s) of J^T J that J_a J_b adds to:
    // the (b, a) slot, and the (a, b) slot as well off the diagonal.
    std::vector<int> lower_slot_;
    std::vector<int> upper_slot_;  // -1 on the diagonal
    Eigen::SparseMatrix<double> normal_;
};

// The pattern of JᵀJ (both triangles and the whole diagonal, entries one) in
// the variables' own order: what orderings and band shapes are computed from.
Eigen::SparseMatrix<double> normal_pattern(const Eigen::SparseMatrix<double>& jacobian);

}  // namespace ovralis
