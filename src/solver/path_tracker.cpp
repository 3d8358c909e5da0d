// Natural-parameter continuation with a minimum-norm Euler predictor and
// minimum-norm Newton correctors.
//
// At a point (x, s) on the path the tangent solves J dx/ds = -dH/ds; of all
// its solutions the shortest is taken, so a direction the constraints leave
// free never moves. The predictor goes h along it, the corrector then holds
// s and walks back to H = 0 by Newton steps, again of minimum norm. A step
// is kept only when the corrector behaves as Newton does close to a regular
// solution: its first correction small beside the predictor's move, each
// later one at most half the one before, and the tangent at the new point
// close to the old one. A corrector that misbehaves is what another branch
// nearby looks like (two solutions close together, as where a triangle
// flattens), so the step is halved and tried again; a step that must shrink
// below the smallest one has met a turning point, where the path cannot go
// on as s grows.

#include "solver/path_tracker.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "solver/minimum_norm_step.hpp"

namespace ovralis {
namespace {

constexpr int kCorrectorIterations = 8;
// The corrector's first step may be at most this share of the predictor's move.
constexpr double kFirstCorrectionShare = 0.5;
// Each later corrector step must be at most this share of the one before.
constexpr double kContraction = 0.5;
// Consecutive tangents must make an angle with cosine above this (60 degrees).
constexpr double kTangentCosine = 0.5;
// The predictor moves no variable by more than this share of the larger of
// 1 (the sketch's mean point spacing) and the distance travelled so far.
constexpr double kLargestMove = 0.5;
// |H| within which a point lies on the path, in the normalised units of the
// problem (where the mean point spacing is 1).
constexpr double kPathTolerance = 1e-10;
// A corrector step below this many ulps of the largest variable moves nothing.
constexpr double kRoundingUlps = 8.0;
// Easy steps (a corrector of at most this many iterations) double the step.
constexpr int kEasyCorrection = 2;
// The relative step of the central difference in s.
constexpr double kDifferenceStep = 1e-6;

double rounding(const Eigen::VectorXd& x) {
    return kRoundingUlps * std::numeric_limits<double>::epsilon() *
           std::max(1.0, x.lpNorm<Eigen::Infinity>());
}

}  // namespace

void drop_rounding(Eigen::VectorXd& residual, const Eigen::VectorXd& x) {
    const double floor = rounding(x);
    for (double& entry : residual) {
        if (std::abs(entry) <= floor) entry = 0.0;
    }
}

namespace {

struct Correction {
    Eigen::VectorXd x;
    bool converged = false;
};

// Newton from the predicted x back to H(., s) = 0, judged as above.
Correction correct(Homotopy& homotopy, MinimumNormStep& solver, Eigen::VectorXd x, double s,
                   double predictor_move, std::uint64_t& iterations) {
    double previous = std::numeric_limits<double>::infinity();
    for (int k = 0; k < kCorrectorIterations; ++k) {
        Eigen::VectorXd h = homotopy.value(x, s);
        drop_rounding(h, x);
        if (!h.allFinite()) return {std::move(x), false};
        const double size = h.lpNorm<Eigen::Infinity>();
        if (size <= kPathTolerance) return {std::move(x), true};
        ++iterations;
        if (!solver.linearise(homotopy.jacobian(x, s))) return {std::move(x), false};
        const std::optional<Eigen::VectorXd> dx = solver.solve(-h);
        if (!dx) return {std::move(x), false};
        const double move = dx->lpNorm<Eigen::Infinity>();
        if (move <= rounding(x)) {
            const bool converged = size <= 1e3 * kPathTolerance;
            return {std::move(x), converged};
        }
        const double allowed = k == 0 ? kFirstCorrectionShare * predictor_move + kPathTolerance
                                      : kContraction * previous;
        if (!(move <= allowed)) return {std::move(x), false};
        x += *dx;
        previous = move;
    }
    const bool converged = homotopy.value(x, s).lpNorm<Eigen::Infinity>() <= kPathTolerance;
    return {std::move(x), converged};
}

double cosine(const Eigen::VectorXd& a, const Eigen::VectorXd& b) {
    const double norms = a.norm() * b.norm();
    return norms > 0.0 ? a.dot(b) / norms : 1.0;
}

// The tangent dx/ds at (x, s), linearising the solver there.
std::optional<Eigen::VectorXd> tangent(Homotopy& homotopy, MinimumNormStep& solver,
                                       const Eigen::VectorXd& x, double s) {
    if (!solver.linearise(homotopy.jacobian(x, s))) return std::nullopt;
    return solver.solve(-homotopy.s_derivative(x, s));
}

}  // namespace

Homotopy::Homotopy(Problem& problem, const Eigen::VectorXd& start,
                   std::function<void(double)> set_parameter)
    : problem_(problem), set_parameter_(std::move(set_parameter)) {
    set(0.0);
    start_residual_ = problem_.evaluate(start).residual;
    drop_rounding(start_residual_, start);
}

void Homotopy::set(double s) {
    if (set_parameter_) set_parameter_(s);
}

Eigen::VectorXd Homotopy::value(const Eigen::VectorXd& x, double s) {
    set(s);
    return problem_.evaluate(x).residual - (1.0 - s) * start_residual_;
}

Eigen::VectorXd Homotopy::s_derivative(const Eigen::VectorXd& x, double s) {
    if (!set_parameter_) return start_residual_;
    const double step = kDifferenceStep;
    set(s + step);
    const Eigen::VectorXd above = problem_.evaluate(x).residual;
    set(s - step);
    const Eigen::VectorXd below = problem_.evaluate(x).residual;
    set(s);
    return (above - below) / (2.0 * step) + start_residual_;
}

Eigen::SparseMatrix<double> Homotopy::jacobian(const Eigen::VectorXd& x, double s) {
    set(s);
    return problem_.analytic_jacobian(x);
}

PathEnd track_path(Homotopy& homotopy, const Eigen::VectorXd& x0, const PathSettings& settings) {
    Problem& problem = homotopy.problem();
    MinimumNormStep solver;
    PathEnd end;
    end.x = x0;
    std::optional<Eigen::VectorXd> direction = tangent(homotopy, solver, x0, 0.0);
    ++end.iterations;
    double h = 1.0;
    for (std::uint64_t attempt = 0; attempt < settings.max_steps && direction &&
                                    end.iterations < settings.max_iterations;
         ++attempt) {
        problem.stop_if_interrupted(end.x);
        const double s = end.reached;
        h = std::min(h, 1.0 - s);
        const double travelled = (end.x - x0).lpNorm<Eigen::Infinity>();
        const double largest_move = kLargestMove * std::max(1.0, travelled);
        const double speed = direction->lpNorm<Eigen::Infinity>();
        if (h * speed > largest_move) h = largest_move / speed;
        if (h < settings.smallest_step && s + h < 1.0) break;
        const double next_s = h >= 1.0 - s ? 1.0 : s + h;
        const std::uint64_t before = end.iterations;
        Correction corrected =
            correct(homotopy, solver, end.x + h * *direction, next_s, h * speed, end.iterations);
        std::optional<Eigen::VectorXd> next_direction;
        if (corrected.converged && settings.off_path) {
            problem.move_to(corrected.x);
            corrected.converged = !settings.off_path();
        }
        if (corrected.converged) {
            next_direction = tangent(homotopy, solver, corrected.x, next_s);
            ++end.iterations;
        }
        const bool kept = next_direction && cosine(*direction, *next_direction) > kTangentCosine;
        if (!kept) {
            h *= 0.5;
            if (h < settings.smallest_step) break;
            continue;
        }
        end.x = std::move(corrected.x);
        end.reached = next_s;
        ++end.steps;
        direction = std::move(next_direction);
        if (next_s >= 1.0) {
            end.complete = true;
            break;
        }
        if (end.iterations - before <= kEasyCorrection + 1) h *= 2.0;
    }
    problem.move_to(end.x);
    return end;
}

}  // namespace ovralis
