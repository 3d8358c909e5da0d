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
class RowSpaceSolver {
public:
    // Factorises J J^T with a relative damping on its diagonal (a row no
    // variable reads gets unit damping). False when the factorisation fails.
    bool factorise(const Eigen::SparseMatrix<double>& jacobian);

    // The step for `rhs` (one entry per row) after a successful factorise;
    // nullopt when it is not finite.
    std::optional<Eigen::VectorXd> solve(const Eigen::VectorXd& rhs) const;

private:
    NormalStructure structure_;  // of J^T, whose "normal matrix" is J J^T
    Eigen::SparseMatrix<double> transposed_;
    bool factorised_ = false;
};

}  // namespace ovralis
