// The evaluator every solve method iterates on: residual, Jacobian and cost at
// a given variable vector, and the moves between that vector and the entities.
#pragma once

#include <cstdint>
#include <optional>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "jacobian/column_dependencies.hpp"
#include "jacobian/normal_structure.hpp"
#include "jacobian/stable_pattern.hpp"
#include "residual/residual.hpp"
#include "solver/interruption.hpp"
#include "solver/solve.hpp"
#include "system/system.hpp"

namespace ovralis {

// The residual at one point and the two figures every method tests: the sum
// of squares (no factor one half) and the largest absolute entry (NaN entries
// ignored).
struct Evaluation {
    Eigen::VectorXd residual;
    double cost = 0.0;
    double max_abs = 0.0;
};

// A prepared system (variables built, equalities propagated, references
// validated) seen as a function of its variable vector. The residual form and
// its row count are fixed when the problem is made. Every evaluation first
// moves the entities to the point it is asked about, so after any call the
// entities hold the last point evaluated; a method that ends elsewhere moves
// them back with move_to.
class Problem {
public:
    explicit Problem(System& prepared, InterruptPoll interrupted = {});

    Eigen::Index variable_count() const { return variables_; }
    Eigen::Index residual_count() const { return rows_; }

    // The variable vector the entities hold (gather).
    Eigen::VectorXd start() const;
    // Writes x into the entities (scatter: radius clamp, then propagation).
    void move_to(const Eigen::VectorXd& x);

    Evaluation evaluate(const Eigen::VectorXd& x);
    double cost(const Eigen::VectorXd& x);

    // The Jacobian at x: analytic when the store's analytic_jacobian flag is
    // set, central differences otherwise. Both keep the problem's one
    // pattern (stable_pattern.hpp), holding explicit zeros where needed.
    Eigen::SparseMatrix<double> jacobian(const Eigen::VectorXd& x);
    // The analytic Jacobian at x whatever the flag says.
    Eigen::SparseMatrix<double> analytic_jacobian(const Eigen::VectorXd& x);

    // How this problem's normal matrices J^T J are stored and factorised,
    // made for the first Jacobian that asks and shared by the methods of one
    // solve, whose Jacobians have the same pattern.
    NormalStructure& normal_structure() { return normal_structure_; }

    // Asks the caller's poll; when it wants the solve to stop, moves the
    // entities to x (the method's best point) and throws SolveInterrupted.
    void stop_if_interrupted(const Eigen::VectorXd& x);

private:
    System& system_;
    ResidualForm form_;
    Eigen::Index variables_;
    Eigen::Index rows_;
    InterruptPoll interrupted_;
    NormalStructure normal_structure_;
    std::optional<ColumnDependencies> difference_dependencies_;  // made by the first jacobian()
    StablePattern jacobian_pattern_;
};

// The methods. Each starts from problem.start(), which has at least one
// variable, and leaves the entities at the point it ends on.
SolveReport levenberg_marquardt(Problem& problem, std::uint64_t max_iter, double tol);
SolveReport sparse_levenberg_marquardt(Problem& problem, std::uint64_t max_iter, double tol);
SolveReport dogleg(Problem& problem, std::uint64_t max_iter, double tol);
SolveReport bfgs(Problem& problem, std::uint64_t max_iter, double tol);

}  // namespace ovralis
