// Dogleg trust-region method: each iteration combines the Gauss–Newton step
// and the steepest-descent (Cauchy) step inside a trust radius, and adjusts
// the radius by how well the quadratic model predicted the actual change.

#include <algorithm>
#include <cmath>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "solver/method_support.hpp"
#include "solver/problem.hpp"

namespace ovralis {
namespace {

constexpr double kInitialRadius = 1.0;
constexpr double kMinRadius = 1e-10;
constexpr double kMaxRadius = 1e8;
constexpr double kStationaryGradient = 1e-20;
constexpr double kCurvatureFloor = 1e-30;
constexpr double kStepNormLimit = 1e10;
constexpr double kFirstRegularisation = 1e-6;
constexpr int kRegularisationTries = 10;
constexpr double kNegligible = 1e-30;

double shrunk(double radius) { return std::max(0.25 * radius, kMinRadius); }
double grown(double radius) { return std::min(2.0 * radius, kMaxRadius); }

bool usable_step(const Eigen::VectorXd& step) {
    const double norm = step.norm();
    return std::isfinite(norm) && norm < kStepNormLimit;
}

// Minimiser of the linear model along -g.
Eigen::VectorXd cauchy_step(const Eigen::SparseMatrix<double>& jacobian,
                            const Eigen::VectorXd& gradient) {
    const double curvature = (jacobian * gradient).squaredNorm();
    const double length = curvature > kCurvatureFloor ? gradient.squaredNorm() / curvature : 1.0;
    return -length * gradient;
}

// Solves A p = -g; when A is singular or the step is unusable, retries with
// A + mu I for mu = 1e-6, 1e-5, ... and settles for the zero step, which
// leaves the choice to the Cauchy step.
Eigen::VectorXd gauss_newton_step(const Eigen::MatrixXd& normal, const Eigen::VectorXd& gradient) {
    if (auto step = solve_by_lu(normal, -gradient); step && usable_step(*step)) return *step;
    const Eigen::Index n = gradient.size();
    double mu = kFirstRegularisation;
    for (int attempt = 0; attempt < kRegularisationTries; ++attempt, mu *= 10.0) {
        const Eigen::MatrixXd regularised = normal + mu * Eigen::MatrixXd::Identity(n, n);
        if (auto step = solve_by_lu(regularised, -gradient); step && usable_step(*step)) {
            return *step;
        }
    }
    return Eigen::VectorXd::Zero(n);
}

// The fraction tau of the way from p_sd to p_gn where the path leaves the
// trust region: the root in (0, 1] of |p_sd + tau d|^2 = radius^2.
double boundary_fraction(const Eigen::VectorXd& p_sd, const Eigen::VectorXd& p_gn, double radius) {
    const Eigen::VectorXd d = p_gn - p_sd;
    const double a2 = d.squaredNorm();
    const double a1 = 2.0 * p_sd.dot(d);
    const double a0 = p_sd.squaredNorm() - radius * radius;
    const double discriminant = a1 * a1 - 4.0 * a2 * a0;
    if (std::abs(a2) < kNegligible || discriminant < 0.0) return 1.0;
    const double root = std::sqrt(discriminant);
    const double tau1 = (root - a1) / (2.0 * a2);
    if (tau1 > 0.0 && tau1 <= 1.0) return tau1;
    const double tau2 = (-a1 - root) / (2.0 * a2);
    if (tau2 > 0.0 && tau2 < 1.0) return tau2;
    return 1.0;
}

Eigen::VectorXd dogleg_step(const Eigen::VectorXd& p_sd, const Eigen::VectorXd& p_gn,
                            double radius) {
    if (p_gn.norm() <= radius) return p_gn;
    const double sd_norm = p_sd.norm();
    if (sd_norm >= radius) return (radius / sd_norm) * p_sd;
    return p_sd + boundary_fraction(p_sd, p_gn, radius) * (p_gn - p_sd);
}

// Whether to keep a trial step, adjusting the trust radius by how well the
// model predicted the actual decrease: shrink when the prediction was poor,
// grow when it was good and the step reached the boundary.
bool judge_step(double actual, double predicted, double step_norm, double& radius) {
    if (std::abs(predicted) <= kNegligible) {
        if (actual > 0.0) {
            if (step_norm > 0.9 * radius) radius = grown(radius);
            return true;
        }
        radius = shrunk(radius);
        return false;
    }
    const double ratio = actual / predicted;
    if (ratio < 0.25) {
        radius = shrunk(radius);
        return ratio > 0.0;
    }
    if (ratio > 0.75 && step_norm > 0.9 * radius) radius = grown(radius);
    return true;
}

}  // namespace

SolveReport dogleg(Problem& problem, std::uint64_t max_iter, double tol) {
    Eigen::VectorXd x = problem.start();
    double radius = kInitialRadius;

    for (std::uint64_t k = 0;; ++k) {
        const Evaluation current = problem.evaluate(x);
        if (const auto ending = ending_at(current, k, max_iter, tol)) return *ending;
        problem.stop_if_interrupted(x);

        const Eigen::SparseMatrix<double> jacobian = problem.jacobian(x);
        const Eigen::VectorXd gradient = jacobian.transpose() * current.residual;
        if (gradient.norm() < kStationaryGradient) {
            perturb_off_stationary_point(x);
            continue;
        }

        const Eigen::MatrixXd normal =
            Eigen::MatrixXd(Eigen::SparseMatrix<double>(jacobian.transpose() * jacobian));
        const Eigen::VectorXd step = dogleg_step(cauchy_step(jacobian, gradient),
                                                 gauss_newton_step(normal, gradient), radius);

        const Eigen::VectorXd x_new = x + step;
        const double cost_new = problem.cost(x_new);
        if (!std::isfinite(cost_new)) {
            problem.move_to(x);
            radius = shrunk(radius);
            continue;
        }

        // The model term the actual decrease is measured against. On a linear
        // residual a full Gauss–Newton step scores 2/3: accepted, radius kept.
        const double predicted = 0.5 * step.dot(normal * step) - step.dot(gradient);
        const bool accept = judge_step(current.cost - cost_new, predicted, step.norm(), radius);
        if (accept) {
            x = x_new;  // the entities already hold it
        } else {
            problem.move_to(x);
        }
    }
}

}  // namespace ovralis
