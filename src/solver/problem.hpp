#pragma once

#include <cstdint>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "residual/residual.hpp"
#include "solver/solve.hpp"
#include "system/system.hpp"

namespace ovralis {

// The prepared system a method iterates on: variables built, lengths
// normalised, equalities propagated, residual form chosen. The entities always
// hold the last scattered variable vector. Methods never un-normalise: the
// engine does that once, whatever the ending.
struct Problem {
    System& system;
    ResidualForm form;

    Eigen::Index variable_count() const {
        return static_cast<Eigen::Index>(system.layout.variables.size());
    }
};

// The residual at the entities' current values, in the problem's form.
Eigen::VectorXd problem_residual(const Problem& problem);

// The Jacobian at x (already scattered), analytic or by central differences
// as the store's analytic_jacobian flag says.
Eigen::SparseMatrix<double> problem_jacobian(Problem& problem, const Eigen::VectorXd& x,
                                             Eigen::Index rows);

// The methods. Each starts from gather(system) with at least one variable.
SolveReport levenberg_marquardt(Problem& problem, std::uint64_t max_iter, double tol);
SolveReport sparse_levenberg_marquardt(Problem& problem, std::uint64_t max_iter, double tol);
SolveReport dogleg(Problem& problem, std::uint64_t max_iter, double tol);
SolveReport bfgs(Problem& problem, std::uint64_t max_iter, double tol);

}  // namespace ovralis
