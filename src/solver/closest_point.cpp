// Sequential quadratic programming for
//
//     min f(x) = |P x - g|^2 / (2 D)   subject to   r(x) = 0.
//
// D, the target's distance from the start, does not change the minimiser;
// it keeps grad f of order one however far the target is (a target at 1e100
// would otherwise square past the largest double). Each step solves
//
//     [ H   J^T ] [ dx     ]   [ -grad f ]
//     [ J   0   ] [ lambda ] = [ -r      ]
//
// with H = P^T P / D + sum_i lambda_i Hess r_i, the constraints' curvature
// taken by central differences of J^T lambda. Where H is not positive on the
// directions the constraints leave free (the start lies nearer a farthest
// point than a closest one), it is shifted until it is, so the step goes
// downhill; close to the minimum H is positive there and the steps are
// Newton's, converging fast. A step is kept when it lowers the exact
// penalty f + rho |r|_1, or when it halves the optimality conditions'
// residual (where rounding hides the penalty's change).

#include "solver/closest_point.hpp"

#include <algorithm>
#include <cmath>

#include <Eigen/Dense>

namespace ovralis {
namespace {

constexpr double kDifferenceStep = 1e-7;
constexpr double kLargestMove = 0.5;  // of the mean point spacing, per step
constexpr int kHalvings = 30;
constexpr double kConditionsTolerance = 1e-12;
// The least curvature H keeps on the free directions, and the rank threshold
// of J's singular values relative to the largest.
constexpr double kLeastCurvature = 1e-8;
constexpr double kRankThreshold = 1e-10;

struct Pull {
    Eigen::Index x_column;
    Eigen::Index y_column;
    double x;
    double y;
    double distance;
};

Eigen::VectorXd objective_gradient(const Eigen::VectorXd& x, const Pull& pull) {
    Eigen::VectorXd gradient = Eigen::VectorXd::Zero(x.size());
    if (pull.x_column >= 0) gradient[pull.x_column] = (x[pull.x_column] - pull.x) / pull.distance;
    if (pull.y_column >= 0) gradient[pull.y_column] = (x[pull.y_column] - pull.y) / pull.distance;
    return gradient;
}

// f(to) - f(from), without forming f: (p' - p) . ((p' + p) / 2 - g) / D.
double objective_change(const Eigen::VectorXd& from, const Eigen::VectorXd& to, const Pull& pull) {
    double change = 0.0;
    if (pull.x_column >= 0) {
        const double a = from[pull.x_column], b = to[pull.x_column];
        change += (b - a) * (0.5 * (a + b) - pull.x);
    }
    if (pull.y_column >= 0) {
        const double a = from[pull.y_column], b = to[pull.y_column];
        change += (b - a) * (0.5 * (a + b) - pull.y);
    }
    return change / pull.distance;
}

struct Iterate {
    Eigen::VectorXd x;
    Eigen::VectorXd lambda;
    Eigen::VectorXd residual;
    Eigen::MatrixXd jacobian;
    Eigen::VectorXd conditions;  // [grad f + J^T lambda; r]
};

Iterate evaluate(Problem& problem, Eigen::VectorXd x, Eigen::VectorXd lambda, const Pull& pull) {
    Iterate p{std::move(x), std::move(lambda), {}, {}, {}};
    p.residual = problem.evaluate(p.x).residual;
    p.jacobian = Eigen::MatrixXd(problem.analytic_jacobian(p.x));
    p.conditions.resize(p.x.size() + p.residual.size());
    p.conditions << objective_gradient(p.x, pull) + p.jacobian.transpose() * p.lambda, p.residual;
    return p;
}

// The directions the constraints leave free: right singular vectors of J
// beyond its rank; every direction when there are no constraints.
Eigen::MatrixXd free_directions(const Eigen::MatrixXd& jacobian) {
    const Eigen::Index n = jacobian.cols();
    if (jacobian.rows() == 0) return Eigen::MatrixXd::Identity(n, n);
    Eigen::JacobiSVD<Eigen::MatrixXd> svd(jacobian, Eigen::ComputeFullV);
    const Eigen::VectorXd& sigma = svd.singularValues();
    Eigen::Index rank = 0;
    while (rank < sigma.size() && sigma[rank] > kRankThreshold * std::max(sigma[0], 1e-300)) ++rank;
    return svd.matrixV().rightCols(n - rank);
}

// H at p, shifted to be positive on J's null space.
Eigen::MatrixXd convex_hessian(Problem& problem, const Iterate& p, const Pull& pull) {
    const Eigen::Index n = p.x.size();
    Eigen::MatrixXd h(n, n);
    for (Eigen::Index i = 0; i < n; ++i) {
        Eigen::VectorXd shifted = p.x;
        shifted[i] = p.x[i] + kDifferenceStep;
        const Eigen::VectorXd above =
            Eigen::MatrixXd(problem.analytic_jacobian(shifted)).transpose() * p.lambda;
        shifted[i] = p.x[i] - kDifferenceStep;
        const Eigen::VectorXd below =
            Eigen::MatrixXd(problem.analytic_jacobian(shifted)).transpose() * p.lambda;
        h.col(i) = (above - below) / (2.0 * kDifferenceStep);
    }
    h = (0.5 * (h + h.transpose())).eval();
    if (pull.x_column >= 0) h(pull.x_column, pull.x_column) += 1.0 / pull.distance;
    if (pull.y_column >= 0) h(pull.y_column, pull.y_column) += 1.0 / pull.distance;
    const Eigen::MatrixXd free = free_directions(p.jacobian);
    double least = kLeastCurvature;
    if (free.cols() > 0) {
        least = Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(free.transpose() * h * free,
                                                               Eigen::EigenvaluesOnly)
                    .eigenvalues()
                    .minCoeff();
    }
    // Shifted to a curvature as large as the negative one was (or the
    // pull's own), so a downhill step is not a leap along a near-flat
    // direction; a little on every direction too keeps the matrix regular
    // where J has redundant rows.
    const double shift =
        least < kLeastCurvature ? kLeastCurvature - least + std::max(-least, 1.0 / pull.distance) : 0.0;
    h.diagonal().array() += shift + kLeastCurvature * 1e-4;
    return h;
}

}  // namespace

bool move_to_closest_point(Problem& problem, Eigen::Index x_column, Eigen::Index y_column,
                           double target_x, double target_y, std::uint64_t max_iter) {
    const Eigen::VectorXd start = problem.start();
    const Eigen::Index n = start.size();
    double distance = 1.0;
    if (x_column >= 0) distance = std::max(distance, std::abs(start[x_column] - target_x));
    if (y_column >= 0) distance = std::max(distance, std::abs(start[y_column] - target_y));
    const Pull pull{x_column, y_column, target_x, target_y, distance};
    const Eigen::MatrixXd start_jacobian(problem.analytic_jacobian(start));
    const Eigen::Index m = start_jacobian.rows();
    // The multipliers that best balance the pull at the start. Without
    // constraints there are none (and Eigen's QR must not see an empty side).
    Eigen::VectorXd lambda = Eigen::VectorXd::Zero(m);
    if (m > 0) {
        lambda = start_jacobian.transpose().colPivHouseholderQr().solve(-objective_gradient(start, pull));
    }
    Iterate p = evaluate(problem, start, lambda, pull);
    double rho = 1.0;
    for (std::uint64_t k = 0; k < max_iter; ++k) {
        if (p.conditions.lpNorm<Eigen::Infinity>() <= kConditionsTolerance) break;
        problem.stop_if_interrupted(p.x);
        Eigen::MatrixXd kkt = Eigen::MatrixXd::Zero(n + m, n + m);
        kkt.topLeftCorner(n, n) = convex_hessian(problem, p, pull);
        kkt.topRightCorner(n, m) = p.jacobian.transpose();
        kkt.bottomLeftCorner(m, n) = p.jacobian;
        kkt.bottomRightCorner(m, m).diagonal().array() = -1e-14;
        Eigen::VectorXd rhs(n + m);
        rhs << -objective_gradient(p.x, pull), -p.residual;
        const Eigen::VectorXd solution = kkt.partialPivLu().solve(rhs);
        if (!solution.allFinite()) break;
        const Eigen::VectorXd dx = solution.head(n);
        const Eigen::VectorXd new_lambda = solution.tail(m);
        rho = std::max(rho, 2.0 * new_lambda.lpNorm<Eigen::Infinity>());
        double length = std::min(1.0, kLargestMove / std::max(dx.lpNorm<Eigen::Infinity>(), 1e-300));
        bool kept = false;
        for (int halving = 0; halving < kHalvings && !kept; ++halving, length *= 0.5) {
            const Eigen::VectorXd x = p.x + length * dx;
            Iterate next = evaluate(problem, x, p.lambda + length * (new_lambda - p.lambda), pull);
            if (!next.conditions.allFinite()) continue;
            const double penalty_change =
                objective_change(p.x, x, pull) +
                rho * (next.residual.lpNorm<1>() - p.residual.lpNorm<1>());
            if (penalty_change < 0.0 || next.conditions.norm() < 0.5 * p.conditions.norm()) {
                p = std::move(next);
                kept = true;
            }
        }
        if (!kept) break;
    }
    const bool holds = p.conditions.lpNorm<Eigen::Infinity>() <= 1e3 * kConditionsTolerance;
    problem.move_to(holds ? p.x : start);
    return holds;
}

}  // namespace ovralis
