// The least-norm solution of a linearised constraint system: a step that
// moves only along the directions the constraints see.
#pragma once

#include <optional>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "jacobian/normal_structure.hpp"

namespace ovralis {

// For a Jacobian J (rows: residual entries, columns: variables), solves
// J delta = rhs in the least-squares sense with the smallest |delta|. The step
// lies in J's row space, so a variable the constraints leave free (a null
// direction of J) gets no part of it, however near singular J is: a
// rounding-level residual gives a rounding-level step.
//
// When J has full column rank (more rows than columns and no pivot near zero)
// the one least-squares solution is the least-norm one, and J^T J gives it.
// Otherwise, up to a few thousand rows, delta = J^T (J J^T + damping)^-1 rhs,
// in J's row space by construction. Beyond that, J J^T costs many times more
// to order and factorise than J^T J (seconds against tens of milliseconds on
// a redundant 10,000-point grid), so J^T J is damped by the same small amount
// on every variable and the damping's bias taken off by a few more solves with
// the same factors (iterated Tikhonov regularisation); started from zero, each
// solve adds J^T times something, so the step stays in the row space up to the
// rounding divided by the damping, about 1e-9 of the step.
class RowSpaceSolver {
public:
    // Up to this many rows a Jacobian with a null direction takes its step
    // through J J^T, exact to rounding and cheap at that size.
    static constexpr Eigen::Index kLargestRowSystem = 2000;

    explicit RowSpaceSolver(Eigen::Index largest_row_system = kLargestRowSystem)
        : largest_row_system_(largest_row_system) {}

    // Factorises J^T J or J J^T, damped as above. False when the
    // factorisation fails.
    bool factorise(const Eigen::SparseMatrix<double>& jacobian);

    // The step for `rhs` (one entry per row) after a successful factorise;
    // nullopt when it is not finite.
    std::optional<Eigen::VectorXd> solve(const Eigen::VectorXd& rhs) const;

private:
    enum class Factorised { kNone, kFullRank, kRows, kDamped };

    bool factorise_full_rank(const Eigen::SparseMatrix<double>& jacobian);
    bool factorise_rows();
    bool factorise_damped(const Eigen::SparseMatrix<double>& jacobian);
    Eigen::VectorXd corrected_step(const Eigen::VectorXd& rhs) const;

    Eigen::Index largest_row_system_;
    NormalStructure structure_;  // of J: J^T J
    NormalStructure rows_;       // of J^T, whose "normal matrix" is J J^T
    Eigen::SparseMatrix<double> transposed_;
    Factorised factorised_ = Factorised::kNone;
};


}  // namespace ovralis
