// BFGS quasi-Newton method: an inverse-Hessian approximation H gives the
// search direction -H g, a strong-Wolfe line search picks the step length,
// and each step's change in gradient refines H.
//
// The gradient used throughout is g = J^T r, half the true gradient of the
// cost; the line search and the update use it consistently.

#include <cmath>
#include <utility>

#include <Eigen/Core>
#include <Eigen/SparseCore>

#include "solver/method_support.hpp"
#include "solver/problem.hpp"

namespace ovralis {
namespace {

constexpr double kSufficientDecrease = 1e-4;  // c1
constexpr double kCurvature = 0.9;            // c2
constexpr int kExpansions = 20;
constexpr int kBisections = 30;
constexpr double kNarrowestBracket = 1e-16;
constexpr int kBacktrackTrials = 20;
constexpr double kLastResortLength = 1e-4;
constexpr double kStationaryGradient = 1e-20;
constexpr double kShortestDirection = 1e-30;
constexpr double kLongestDirection = 1e10;
constexpr double kCurvatureFloor = 1e-30;
constexpr double kLargestInverseHessian = 1e20;

Eigen::VectorXd gradient_here(Problem& problem, const Eigen::VectorXd& x,
                              const Eigen::VectorXd& residual) {
    return problem.jacobian(x).transpose() * residual;
}

// The cost along the ray x_start + alpha d. Each evaluation moves the
// entities to the sampled point; the slope is taken where the last value was.
class Ray {
public:
    Ray(Problem& problem, const Eigen::VectorXd& x_start, const Eigen::VectorXd& direction)
        : problem_(problem), x_start_(x_start), direction_(direction) {}

    Eigen::VectorXd point(double alpha) const { return x_start_ + alpha * direction_; }

    double value(double alpha) {
        x_ = point(alpha);
        Evaluation here = problem_.evaluate(x_);
        residual_ = std::move(here.residual);
        return here.cost;
    }

    // phi'(alpha) = g(x_start + alpha d) . d, at the alpha of the last value().
    double slope() { return gradient_here(problem_, x_, residual_).dot(direction_); }

private:
    Problem& problem_;
    const Eigen::VectorXd& x_start_;
    const Eigen::VectorXd& direction_;
    Eigen::VectorXd x_;
    Eigen::VectorXd residual_;
};

struct StepLength {
    bool accepted = false;
    double alpha = 0.0;
};

class WolfeSearch {
public:
    WolfeSearch(Ray& ray, double cost, double slope0) : ray_(ray), cost_(cost), slope0_(slope0) {}

    StepLength run() {
        double previous = 0.0;
        double alpha = 1.0;
        for (int expansion = 0; expansion < kExpansions; ++expansion) {
            if (!sufficient_decrease(alpha, ray_.value(alpha))) return zoom(previous, alpha);
            const double slope = ray_.slope();
            if (flat_enough(slope)) return {true, alpha};
            if (slope > 0.0) return zoom(alpha, previous);
            previous = alpha;
            alpha *= 2.0;
        }
        return {sufficient_decrease(1.0, ray_.value(1.0)), 1.0};
    }

private:
    bool sufficient_decrease(double alpha, double value) const {
        return value <= cost_ + kSufficientDecrease * alpha * slope0_;
    }
    bool flat_enough(double slope) const {
        return std::abs(slope) <= kCurvature * std::abs(slope0_);
    }

    // Bisection of the bracket between lo (satisfies sufficient decrease) and
    // hi. The bracket may be given in either order.
    StepLength zoom(double lo, double hi) {
        for (int bisection = 0; bisection < kBisections; ++bisection) {
            if (std::abs(hi - lo) < kNarrowestBracket) break;
            const double mid = 0.5 * (lo + hi);
            if (!sufficient_decrease(mid, ray_.value(mid))) {
                hi = mid;
                continue;
            }
            const double slope = ray_.slope();
            if (flat_enough(slope)) return {true, mid};
            if (slope * (hi - lo) >= 0.0) hi = lo;
            lo = mid;
        }
        // A zero step length would leave x, g and H as they are, and the next
        // iteration would repeat this one exactly: treat it as a failed search.
        if (lo == 0.0) return {false, 0.0};
        return {sufficient_decrease(lo, ray_.value(lo)), lo};
    }

    Ray& ray_;
    double cost_;
    double slope0_;
};

// Halves alpha from 1 until the cost decreases sufficiently; at worst takes a
// short fixed step down the gradient so that x always moves.
Eigen::VectorXd backtrack(Problem& problem, const Eigen::VectorXd& x, double cost,
                          const Eigen::VectorXd& direction, double slope0,
                          const Eigen::VectorXd& gradient) {
    double alpha = 1.0;
    for (int trial = 0; trial < kBacktrackTrials; ++trial, alpha *= 0.5) {
        const Eigen::VectorXd x_try = x + alpha * direction;
        if (problem.cost(x_try) <= cost + kSufficientDecrease * alpha * slope0) return x_try;
    }
    return x - (kLastResortLength / gradient.norm()) * gradient;
}

// H <- (I - rho s y^T) H (I - rho y s^T) + rho s s^T, expanded so that it
// costs O(n^2); H is reset when the curvature is too small to trust or the
// result grows out of bounds.
void update_inverse_hessian(Eigen::MatrixXd& inverse_hessian, const Eigen::VectorXd& s,
                            const Eigen::VectorXd& y) {
    const double curvature = s.dot(y);
    if (!(std::abs(curvature) > kCurvatureFloor)) return;
    const double rho = 1.0 / curvature;
    const Eigen::VectorXd h_y = inverse_hessian * y;
    const Eigen::VectorXd ht_y = inverse_hessian.transpose() * y;
    Eigen::MatrixXd updated = inverse_hessian;
    updated.noalias() -= rho * s * ht_y.transpose();
    updated.noalias() -= rho * h_y * s.transpose();
    updated.noalias() += (rho * rho * y.dot(h_y) + rho) * s * s.transpose();
    const double norm = updated.norm();
    if (std::isfinite(norm) && norm < kLargestInverseHessian) {
        inverse_hessian = std::move(updated);
    } else {
        inverse_hessian.setIdentity();
    }
}

}  // namespace

SolveReport bfgs(Problem& problem, std::uint64_t max_iter, double tol) {
    Eigen::VectorXd x = problem.start();
    Evaluation current = problem.evaluate(x);
    if (tol > current.max_abs) return converged_after(0);

    const Eigen::Index n = x.size();
    Eigen::VectorXd gradient = gradient_here(problem, x, current.residual);
    Eigen::MatrixXd inverse_hessian = Eigen::MatrixXd::Identity(n, n);

    // `current` and `gradient` always describe x.
    for (std::uint64_t k = 0; k < max_iter; ++k) {
        if (!std::isfinite(current.cost)) return non_finite_after(k);
        problem.stop_if_interrupted(x);

        // Convergence is tested here only because a vanishing gradient is
        // about to trigger the perturbation.
        if (gradient.norm() < kStationaryGradient) {
            if (tol > current.max_abs) return converged_after(k);
            perturb_off_stationary_point(x);
            current = problem.evaluate(x);
            gradient = gradient_here(problem, x, current.residual);
            continue;
        }

        const Eigen::VectorXd direction = -(inverse_hessian * gradient);
        const double direction_norm = direction.norm();
        if (!std::isfinite(direction_norm) || direction_norm < kShortestDirection ||
            direction_norm > kLongestDirection) {
            inverse_hessian.setIdentity();
            continue;
        }

        const double slope0 = gradient.dot(direction);
        const Eigen::VectorXd x_old = x;
        StepLength length;
        if (slope0 < 0.0) {
            Ray ray(problem, x_old, direction);
            length = WolfeSearch(ray, current.cost, slope0).run();
        }
        x = length.accepted ? Eigen::VectorXd(x_old + length.alpha * direction)
                            : backtrack(problem, x_old, current.cost, direction, slope0, gradient);

        current = problem.evaluate(x);
        if (tol > current.max_abs) return converged_after(k + 1);

        const Eigen::VectorXd new_gradient = gradient_here(problem, x, current.residual);
        update_inverse_hessian(inverse_hessian, x - x_old, new_gradient - gradient);
        gradient = new_gradient;
    }
    return iteration_limit_after(max_iter);
}

}  // namespace ovralis
