// Tracking a solution path x(s) of H(x, s) = 0 from s = 0 to s = 1 by
// predictor and corrector: the continuation behind follow, drag and
// dimension_range.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "solver/problem.hpp"

namespace ovralis {

// H(x, s) = r(x; s) - (1 - s) r(x0; 0) on a prepared problem: at s = 0 it
// vanishes at the start x0, at s = 1 its zeros are the sketch's solutions.
// r(x; s) is the problem's residual after `set_parameter(s)` has changed the
// constraint values that move along the path (none for a plain follow).
class Homotopy {
public:
    Homotopy(Problem& problem, const Eigen::VectorXd& start,
             std::function<void(double)> set_parameter = {});

    Problem& problem() { return problem_; }
    Eigen::VectorXd value(const Eigen::VectorXd& x, double s);
    // dH/ds at x: r(x0) when no parameter moves, else with the parameter's
    // share by a central difference.
    Eigen::VectorXd s_derivative(const Eigen::VectorXd& x, double s);
    Eigen::SparseMatrix<double> jacobian(const Eigen::VectorXd& x, double s);

private:
    void set(double s);

    Problem& problem_;
    std::function<void(double)> set_parameter_;
    Eigen::VectorXd start_residual_;
};

// Sets to zero the entries of a residual at x that rounding alone could make
// (a few ulps of x's largest entry), so that a constraint which holds is not
// "corrected": a part of the sketch that holds does not move at all.
void drop_rounding(Eigen::VectorXd& residual, const Eigen::VectorXd& x);

struct PathSettings {
    std::uint64_t max_steps = 200;  // predictor-corrector steps tried, kept or not
    double smallest_step = 1e-9;    // in s; a step that must shrink below it meets a turning point
    // Stops once this many linearisations are spent.
    std::uint64_t max_iterations = std::numeric_limits<std::uint64_t>::max();
    // When set, a corrected point for which it holds (the entities holding
    // that point) is off the path, as a failed corrector is.
    std::function<bool()> off_path;
};

struct PathEnd {
    Eigen::VectorXd x;       // the last point on the path
    double reached = 0.0;    // its s
    bool complete = false;   // reached s = 1 with the corrector converged
    std::uint64_t steps = 0;       // steps kept
    std::uint64_t iterations = 0;  // corrector iterations, one linearisation each
};

// Follows the path from x0 at s = 0. Each corrector takes minimum-norm
// Newton steps, so what H leaves free moves least. Steps shrink when the
// corrector contracts poorly, when its corrections are large beside the
// predictor's move or when the tangent turns sharply (the signs of another
// branch close by), and grow after easy steps. Polls the problem's
// interruption between steps.
PathEnd track_path(Homotopy& homotopy, const Eigen::VectorXd& x0, const PathSettings& settings);

}  // namespace ovralis
