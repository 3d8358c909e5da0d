// The damped step of Levenberg-Marquardt two ways, on the Jacobian at the
// start point of each sketch document given: the factorisation of
// J^T J + damping I that the solver takes otherwise, and conjugate gradients
// preconditioned by the LU factors of a square J. Prints the LU's analysis,
// factorisation, refactorisation and solve times, then per damping the time
// of each step, the iterations the gradients took, how far the two steps
// lie apart (relative to the direct step) and the relative residual
// |(J^T J + damping I) delta - b| / |b| that each step leaves.
//
// Usage: square_step_bench document.json...   (documents from bench/families.py)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>

#include "jacobian/normal_structure.hpp"
#include "jacobian/square_jacobian_factor.hpp"
#include "solver/normalisation.hpp"
#include "solver/problem.hpp"
#include "system/document.hpp"
#include "system/variable_layout.hpp"

namespace {

using namespace ovralis;
using Clock = std::chrono::steady_clock;

// Conjugate gradients on (J^T J + damping I) delta = b preconditioned with
// (J^T J)^-1 = J^-1 J^-T, from the Gauss-Newton step delta0 = J^-1 J^-T b,
// whose residual is -damping delta0 up to rounding: the preconditioned
// matrix is I + damping (J^T J)^-1, so the iterations needed grow with the
// number of J's squared singular values not well above the damping.
class PreconditionedStep {
public:
    // Prepares for one linearisation. Both arguments must outlive the steps
    // taken from it; `factor` holds a successful factorisation of `jacobian`.
    void linearise(const Eigen::SparseMatrix<double>& jacobian, const SquareJacobianFactor& factor,
                   const Eigen::VectorXd& b);

    // The step for one damping, or nullopt when the iterations do not reach
    // a residual at rounding level within `max_iterations`.
    std::optional<Eigen::VectorXd> step(double damping, int max_iterations) const;

    // Iterations the last call to step took (0: the Gauss-Newton step held).
    int iterations() const { return iterations_; }

private:
    Eigen::VectorXd damped_product(const Eigen::VectorXd& v, double damping) const;
    Eigen::VectorXd preconditioned(const Eigen::VectorXd& v) const;
    double tolerance(const Eigen::VectorXd& delta, double damping) const;

    const Eigen::SparseMatrix<double>* jacobian_ = nullptr;
    const SquareJacobianFactor* factor_ = nullptr;
    Eigen::VectorXd gauss_newton_;       // delta0
    Eigen::VectorXd undamped_residual_;  // b - J^T J delta0
    double b_norm_ = 0.0;
    double normal_norm_bound_ = 0.0;  // ||J||_1 ||J||_inf >= ||J^T J||_2
    mutable int iterations_ = 0;
};

// A residual within this many units of rounding of the normwise backward
// error bound, eps (||A|| ||delta|| + ||b||), is as small as any solve of the
// damped system in double precision leaves it: the step then agrees with a
// direct factorisation to within that factorisation's own rounding.
constexpr double kRoundingUnits = 16.0;

double max_column_sum(const Eigen::SparseMatrix<double>& a) {
    double largest = 0.0;
    for (Eigen::Index c = 0; c < a.outerSize(); ++c) {
        double sum = 0.0;
        for (Eigen::SparseMatrix<double>::InnerIterator it(a, c); it; ++it)
            sum += std::abs(it.value());
        largest = std::max(largest, sum);
    }
    return largest;
}

double max_row_sum(const Eigen::SparseMatrix<double>& a) {
    Eigen::VectorXd sums = Eigen::VectorXd::Zero(a.rows());
    for (Eigen::Index c = 0; c < a.outerSize(); ++c) {
        for (Eigen::SparseMatrix<double>::InnerIterator it(a, c); it; ++it)
            sums[it.row()] += std::abs(it.value());
    }
    return sums.size() > 0 ? sums.maxCoeff() : 0.0;
}

void PreconditionedStep::linearise(const Eigen::SparseMatrix<double>& jacobian,
                                   const SquareJacobianFactor& factor, const Eigen::VectorXd& b) {
    jacobian_ = &jacobian;
    factor_ = &factor;
    gauss_newton_ = preconditioned(b);
    undamped_residual_ = b - damped_product(gauss_newton_, 0.0);
    b_norm_ = b.norm();
    normal_norm_bound_ = max_column_sum(jacobian) * max_row_sum(jacobian);
}

std::optional<Eigen::VectorXd> PreconditionedStep::step(double damping, int max_iterations) const {
    iterations_ = 0;
    Eigen::VectorXd delta = gauss_newton_;
    Eigen::VectorXd residual = undamped_residual_ - damping * gauss_newton_;
    if (residual.norm() <= tolerance(delta, damping)) return delta;

    Eigen::VectorXd z = preconditioned(residual);
    Eigen::VectorXd direction = z;
    double rz = residual.dot(z);
    while (iterations_ < max_iterations) {
        ++iterations_;
        const Eigen::VectorXd product = damped_product(direction, damping);
        const double curvature = direction.dot(product);
        // A positive damping makes the matrix positive definite; anything
        // else is rounding gone wrong or a non-finite factor.
        if (!(curvature > 0.0) || !std::isfinite(rz)) return std::nullopt;
        const double alpha = rz / curvature;
        delta += alpha * direction;
        residual -= alpha * product;
        if (residual.norm() <= tolerance(delta, damping)) return delta;
        z = preconditioned(residual);
        const double next_rz = residual.dot(z);
        direction = z + (next_rz / rz) * direction;
        rz = next_rz;
    }
    return std::nullopt;
}

Eigen::VectorXd PreconditionedStep::damped_product(const Eigen::VectorXd& v, double damping) const {
    const Eigen::VectorXd jv = *jacobian_ * v;
    Eigen::VectorXd product = jacobian_->transpose() * jv;
    if (damping != 0.0) product += damping * v;
    return product;
}

Eigen::VectorXd PreconditionedStep::preconditioned(const Eigen::VectorXd& v) const {
    Eigen::VectorXd w = v;
    factor_->transpose_solve(w);
    factor_->solve(w);
    return w;
}

double PreconditionedStep::tolerance(const Eigen::VectorXd& delta, double damping) const {
    constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
    return kRoundingUnits * kEpsilon * ((normal_norm_bound_ + damping) * delta.norm() + b_norm_);
}

double ms_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The store as the solve engine prepares it, with the analytic Jacobian.
System prepared(const char* path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    System system = from_json(text.str());
    system.analytic_jacobian = true;
    build_variables(system);
    normalise(system);
    propagate(system);
    return system;
}

void measure(const char* path) {
    System system = prepared(path);
    Problem problem(system);
    const Eigen::VectorXd x = problem.start();
    const Evaluation start = problem.evaluate(x);
    Eigen::SparseMatrix<double> jacobian = problem.analytic_jacobian(x);
    jacobian.makeCompressed();
    const Eigen::VectorXd b = -(jacobian.transpose() * start.residual);
    std::printf("%s: %td rows, %td unknowns, %td non-zeros\n", path, jacobian.rows(),
                jacobian.cols(), jacobian.nonZeros());

    SquareJacobianFactor factor;
    auto t = Clock::now();
    const bool factorised = factor.factorise(jacobian, 1e-12);
    const double first_ms = ms_since(t);
    t = Clock::now();
    factor.factorise(jacobian, 1e-12);
    const double again_ms = ms_since(t);
    std::printf("  LU: analyse+factor %.2f ms, refactor %.2f ms, pivot ratio %.3g%s\n", first_ms,
                again_ms, factor.pivot_ratio(), factorised ? "" : " (refused)");
    if (!factorised) return;
    Eigen::VectorXd v = b;
    t = Clock::now();
    factor.transpose_solve(v);
    factor.solve(v);
    std::printf("  J^-1 J^-T b: %.2f ms\n", ms_since(t));

    NormalStructure& structure = problem.normal_structure();
    t = Clock::now();
    structure.prepare_for(jacobian);
    std::printf("  J^T J ordering and analysis: %.2f ms\n", ms_since(t));
    t = Clock::now();
    structure.normal().assemble(jacobian);
    std::printf("  J^T J assembly: %.2f ms\n", ms_since(t));
    const auto direct_step = [&](double damping) {
        if (!structure.factorize(damping, 0.0)) return Eigen::VectorXd();
        return structure.solve(b);
    };
    PreconditionedStep gradients;
    t = Clock::now();
    gradients.linearise(jacobian, factor, b);
    std::printf("  gradients' linearisation: %.2f ms\n", ms_since(t));

    const auto relative_residual = [&](const Eigen::VectorXd& delta, double damping) {
        const Eigen::VectorXd jd = jacobian * delta;
        const Eigen::VectorXd product = jacobian.transpose() * jd + damping * delta;
        return (product - b).norm() / b.norm();
    };
    std::printf("  %8s %10s %10s %6s %11s %11s %11s\n", "damping", "direct ms", "CG ms", "iters",
                "difference", "direct res", "CG res");
    for (double damping = 1e-4; damping >= 1e-12; damping /= 100.0) {
        t = Clock::now();
        const Eigen::VectorXd direct = direct_step(damping);
        const double direct_ms = ms_since(t);
        t = Clock::now();
        const auto iterated = gradients.step(damping, 200);
        const double cg_ms = ms_since(t);
        if (!iterated) {
            std::printf("  %8.0e %10.2f %10.2f %6d  gradients did not converge\n", damping,
                        direct_ms, cg_ms, gradients.iterations());
            continue;
        }
        std::printf("  %8.0e %10.2f %10.2f %6d %11.2e %11.2e %11.2e\n", damping, direct_ms, cg_ms,
                    gradients.iterations(), (*iterated - direct).norm() / direct.norm(),
                    relative_residual(direct, damping), relative_residual(*iterated, damping));
    }
}

}  // namespace

int main(int argc, char** argv) {
    for (int a = 1; a < argc; ++a) measure(argv[a]);
    return 0;
}
