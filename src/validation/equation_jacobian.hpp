#pragma once

// The Jacobian of every constraint equation, the eliminated kinds included as
// ordinary equations, with respect to every free parameter: the matrix whose
// rank tells which constraints are independent.

#include <cstddef>
#include <vector>

#include <Eigen/SparseCore>

#include "solver/interruption.hpp"
#include "system/system.hpp"

namespace ovralis {

struct EquationJacobian {
    // Rows: the equations of the analysis items (analysis_items.hpp) in their
    // order, the constraints' and then one per design-intent equation (a
    // constraint may take more rows than its residual has entries, see
    // analysis_partials); each row scaled to unit 2-norm (a scale does not
    // change what a row spans, and it puts the mixed units of the residuals on
    // one footing). A row without derivatives stays zero.
    Eigen::SparseMatrix<double> matrix;
    std::vector<Parameter> columns;        // column -> free parameter
    std::vector<Eigen::Index> first_row;   // per item; size items + 1
    std::vector<std::size_t> item_of_row;  // row -> item position
};

// Free parameters, in the order of the variable layout's candidates: the x and
// y of every point that is not fixed, then the radius of every free circle,
// arc, and the radmin of every free ellipse and arc of ellipse, then every
// free design variable. Derivatives are those of analysis_partials: the
// solvers' own, except for the kinds whose residual is flat where it holds;
// a field bound to an expression that reads unknowns adds its chain through
// the expression (analysis_field_derivative). Indices must have been
// validated. Polls `interrupted` every kStepsPerPoll constraints.
EquationJacobian equation_jacobian(const System& system, const InterruptPoll& interrupted = {});

}  // namespace ovralis
