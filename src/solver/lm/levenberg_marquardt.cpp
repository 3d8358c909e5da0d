// Levenberg-Marquardt: damped Gauss-Newton steps with a backtracking line
// search and ten damping attempts per iteration, all from the same
// linearisation point.
//
// The normal matrix J^T J and the gradient J^T r are formed once per
// iteration: the ten attempts differ only in the damping added to the
// diagonal. J^T J stays sparse (see NormalEquations). Near the diagonal it is
// eliminated in band storage; otherwise it is factorised in a fill-reducing
// order, with the sparse elimination in variable order as the fall-back for
// nearly singular matrices. Both eliminations make the pivot choices of a
// Gauss-Jordan solve of the dense augmented system, so their steps are those
// of the dense formulation; the factorisation agrees with them to rounding
// wherever it is used.

#include <cmath>
#include <optional>
#include <utility>

#include <Eigen/SparseCore>

#include "jacobian/banded_elimination.hpp"
#include "jacobian/shifted_cholesky.hpp"
#include "jacobian/sparse_elimination.hpp"
#include "solver/method_support.hpp"
#include "solver/problem.hpp"

namespace ovralis {
namespace {

constexpr double kInitialDamping = 1e-4;
constexpr int kDampingAttempts = 10;
constexpr double kStepNormLimit = 1e10;
constexpr double kPivotThreshold = 1e-12;
// Within a thousandfold of the threshold the pivoted elimination may leave a
// column unreduced where a factorisation would divide by the small pivot, so
// there the step is left to the elimination.
constexpr double kFactorisationPivotFloor = 1e3 * kPivotThreshold;

// The linearisation of one iteration, shared by its damping attempts.
//
// J^T J is eliminated in band storage when its non-zeros stay near the
// diagonal (a strip of triangles, separate rectangles): the band's tight
// loops are the fastest way through it. When some non-zeros lie far from the
// diagonal (every radius couples to its centre's coordinates, which come a
// whole block of points earlier; a hole is measured from the plate's edges),
// eliminating in variable order would fill the matrix, so it is factorised in
// a fill-reducing order instead.
struct NormalEquations {
    std::optional<BandedMatrix> band;
    Eigen::SparseMatrix<double> sparse;  // when not banded
    Eigen::VectorXd gradient;            // -(J^T r), the right-hand side
};

bool band_pays_off(const BandedMatrix& band, Eigen::Index non_zeros) {
    return band.size * band.width() <= 4 * non_zeros + 1024;
}

NormalEquations linearise(Problem& problem, const Eigen::VectorXd& x, const Eigen::VectorXd& r) {
    const Eigen::SparseMatrix<double> jacobian = problem.jacobian(x);
    const Eigen::SparseMatrix<double> transposed = jacobian.transpose();
    NormalEquations equations;
    equations.sparse = transposed * jacobian;
    equations.gradient = -(transposed * r);
    BandedMatrix band = band_shape(equations.sparse);
    if (band_pays_off(band, equations.sparse.nonZeros())) {
        fill_band(band, equations.sparse);
        equations.band = std::move(band);
        equations.sparse.resize(0, 0);
    }
    return equations;
}

// Working storage reused by every attempt of every iteration. The pattern of
// J^T J does not change during a solve, so the factorisation's ordering and
// analysis are made on the first iteration and kept.
struct LinearSolvers {
    BandedMatrix band;
    ShiftedCholesky cholesky;
    SparseEliminationWork sparse;
};

// Solves (J^T J + damping I) delta = -(J^T r).
Eigen::VectorXd damped_step(const NormalEquations& equations, double damping,
                            LinearSolvers& solvers) {
    if (!equations.band) {
        if (auto step = solvers.cholesky.solve(equations.sparse, damping, equations.gradient,
                                               kFactorisationPivotFloor)) {
            return std::move(*step);
        }
        const Eigen::SparseMatrix<double, Eigen::RowMajor> rows = equations.sparse;
        return solve_sparse_with_partial_pivoting(rows, damping, equations.gradient,
                                                  kPivotThreshold, solvers.sparse);
    }
    const BandedMatrix& normal = *equations.band;
    solvers.band.size = normal.size;
    solvers.band.lower = normal.lower;
    solvers.band.upper = normal.upper;
    solvers.band.values.assign(normal.values.begin(), normal.values.end());
    add_to_diagonal(solvers.band, damping);
    return solve_with_partial_pivoting(solvers.band, equations.gradient, kPivotThreshold);
}

}  // namespace

SolveReport levenberg_marquardt(Problem& problem, std::uint64_t max_iter, double tol) {
    Eigen::VectorXd x = problem.start();
    double damping = kInitialDamping;
    LinearSolvers solvers;

    // Iteration k starts after k completed iterations; the test at its top
    // also judges the point the last iteration left.
    for (std::uint64_t k = 0;; ++k) {
        const Evaluation current = problem.evaluate(x);
        if (const auto ending = ending_at(current, k, max_iter, tol)) return *ending;
        problem.stop_if_interrupted(x);

        // Every attempt starts from x_k and its cost.
        const Eigen::VectorXd x_k = x;
        const double cost_k = current.cost;
        const NormalEquations equations = linearise(problem, x, current.residual);
        bool accepted = false;
        bool saturated = false;

        for (int attempt = 0; attempt < kDampingAttempts; ++attempt) {
            problem.stop_if_interrupted(x);
            const Eigen::VectorXd delta = damped_step(equations, damping, solvers);
            const double norm = delta.norm();
            if (std::isnan(norm)) return non_finite_after(k + 1);
            if (norm > kStepNormLimit) {
                damping = increased_damping(damping);
                saturated = saturated || damping >= kMaxDamping;
                continue;
            }

            // An accepted trial is already in the entities.
            LineSearchResult trial =
                damped_line_search(problem, x_k, cost_k, delta, equations.gradient.dot(delta));
            if (trial.accepted) {
                if (trial.cost < cost_k || !accepted) damping = decreased_damping(damping);
                x = std::move(trial.x);
                accepted = true;
                continue;
            }

            // A rejected attempt undoes an earlier accepted one as well.
            x = x_k;
            problem.move_to(x);
            damping = increased_damping(damping);
            if (damping >= kMaxDamping) {
                if (accepted) break;
                return damping_limit_after(k + 1);
            }
        }

        // Without an accepted attempt the entities already hold x_k: every
        // attempt either left them alone (step too long) or restored x_k.
        if (!accepted && saturated) return damping_limit_after(k + 1);
    }
}

}  // namespace ovralis
