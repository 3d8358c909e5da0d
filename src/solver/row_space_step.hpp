// The least-norm solution of a linearised constraint system: a step that
// moves only along the directions the constraints see.
#pragma once

#include <optional>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "jacobian/normal_structure.hpp"

namespace ovralis {

// For a Jacobian J (rows: residual entries, columns: variables), solves
// J delta = rhs in the least-squares sense with the smallest |delta|:
// delta = J^T (J J^T + damping diag(J J^T))^-1 rhs. The step lies in J's row
// space, so a variable the constraints leave free (a null direction of J)
// gets no part of it, however near singular J is: a rounding-level residual
// gives a rounding-level step. The normal equations J^T J delta = J^T rhs of
// the same system leave those null directions to the factorisation's
// rounding, divided by whatever damping keeps it regular.
//
// A Jacobian with more rows than columns (redundant constraints) is solved
// through J^T J, the smaller matrix: J J^T of a large redundant sketch costs
// many times more to order, analyse and factorise (seconds where J^T J takes
// milliseconds on a 10,000-point grid). Without a null direction its one
// least-squares solution is the least-norm one. With one (a pivot near zero),
// J^T J is damped more and the damping's bias corrected by a few solves with
// the same factors, each of which adds only J^T times something, so the step
// stays in the row space.
class RowSpaceSolver {
public:
    // Factorises J^T J or J J^T with a relative damping on its diagonal (a
    // row or column nothing reads gets unit damping). False when the
    // factorisation fails.
    bool factorise(const Eigen::SparseMatrix<double>& jacobian);

    // The step for `rhs` (one entry per row) after a successful factorise;
    // nullopt when it is not finite.
    std::optional<Eigen::VectorXd> solve(const Eigen::VectorXd& rhs) const;

private:
    enum class Factorised { kNone, kColumns, kDampedColumns, kRows };

    Factorised factorise_columns(const Eigen::SparseMatrix<double>& jacobian);
    bool factorise_rows();
    Eigen::VectorXd corrected_columns_step(const Eigen::VectorXd& rhs) const;

    NormalStructure columns_;  // of J: J^T J
    NormalStructure rows_;     // of J^T, whose "normal matrix" is J J^T
    Eigen::SparseMatrix<double> transposed_;
    Factorised factorised_ = Factorised::kNone;
};

}  // namespace ovralis
