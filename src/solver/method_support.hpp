// Small pieces shared by the solve methods: the endings of a run, the
// deterministic nudge off stationary points, the damping rules and backtracking
// search of the two Levenberg–Marquardt methods, and an LU solve that reports a
// singular matrix.
#pragma once

#include <cstdint>
#include <optional>

#include <Eigen/Core>

#include "solver/problem.hpp"

namespace ovralis {

// How a run ends. Iterations are the ones actually taken.
SolveReport converged_after(std::uint64_t iterations);
SolveReport iteration_limit_after(std::uint64_t iterations);
SolveReport non_finite_after(std::uint64_t iterations);
SolveReport damping_limit_after(std::uint64_t iterations);

// The test at the top of iteration k, after k completed iterations, shared by
// the methods that test there: a non-finite cost ends the run, a largest
// entry below tol converges it, and with k == max_iter the iterations are
// used up. Because the start is judged before anything is spent, a run
// allowed no iterations needs no rule of its own.
std::optional<SolveReport> ending_at(const Evaluation& current, std::uint64_t k,
                                     std::uint64_t max_iter, double tol);

// Moves x off a stationary point that is not a solution: x_i += (2 sin i - 1)
// * 1e-4. The same system always receives the same nudge, and neighbouring
// variables move by different amounts, which breaks the symmetry that usually
// makes the gradient vanish.
void perturb_off_stationary_point(Eigen::VectorXd& x);

// The damping of the Levenberg–Marquardt methods stays within [1e-12, 1e12]:
// divided by three after a successful step, doubled after a failed one. A
// damping that reaches the upper bound counts as saturated.
inline constexpr double kMaxDamping = 1e12;
double decreased_damping(double damping);
double increased_damping(double damping);

// The backtracking search of the damped methods along delta from x_start:
// fractions 1, 1/2, ..., 1/128; a trial is accepted when the directional term
// is negligible, when it decreases the cost sufficiently, or simply when it
// decreases it. The entities hold the accepted trial, or the last rejected
// one (the caller restores its start).
struct LineSearchResult {
    bool accepted = false;
    Eigen::VectorXd x;
    double cost = 0.0;
};

LineSearchResult damped_line_search(Problem& problem, const Eigen::VectorXd& x_start,
                                    double cost_start, const Eigen::VectorXd& delta,
                                    double directional);

// Solves matrix * result = rhs by LU with partial pivoting; nullopt when the
// matrix is singular (a zero or non-finite pivot, or a reciprocal condition
// number below machine precision, where the pivots are rounding noise).
std::optional<Eigen::VectorXd> solve_by_lu(const Eigen::MatrixXd& matrix,
                                           const Eigen::VectorXd& rhs);

}  // namespace ovralis
