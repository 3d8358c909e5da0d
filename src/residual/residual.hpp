#pragma once

#include <array>

#include <Eigen/Core>

#include "system/system.hpp"

namespace ovralis {

// Full: every constraint contributes its entries. Reduced: the six eliminated
// kinds contribute nothing, because the variable layout satisfies them.
enum class ResidualForm { Full, Reduced };

// The entries of one constraint (one or two), in the order of its equations.
struct ConstraintEntries {
    std::array<double, 2> value{};
    unsigned count = 0;
};

// Evaluates one constraint at the entities' current values. Indices must have
// been validated (validate_references).
ConstraintEntries constraint_residual(const System& system, const Constraint& constraint);

bool has_eliminated_constraints(const System& system);

// The form a solver iterates on: reduced when any eliminated constraint exists.
ResidualForm solver_residual_form(const System& system);

// Number of entries of the vector in the given form.
Eigen::Index residual_size(const System& system, ResidualForm form);

// Assembles the residual vector in constraint order, then the design-intent
// equations' rows, into `out`, resizing it.
void evaluate_residuals(const System& system, ResidualForm form, Eigen::VectorXd& out);
Eigen::VectorXd residual_vector(const System& system, ResidualForm form);

// sum_of_squares(residual_vector(system, form)), bit for bit, without
// assembling the vector: what a line search asks of every trial point.
double residual_sum_of_squares(const System& system, ResidualForm form);

// Largest absolute entry, folding from 0.0 and skipping NaN entries.
double max_abs_residual(const Eigen::VectorXd& residual);

// Sum of squares from first to last entry, starting from -0.0 (no factor 1/2).
double sum_of_squares(const Eigen::VectorXd& residual);

}  // namespace ovralis
