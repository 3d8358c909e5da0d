// Bound dimensions against literal ones: a triangulated strip of 10,000
// distance constraints, solved once with literal values and once with every
// distance bound to one of 100 fixed variables ("v17"), all of the same value.
// Prints the best of several runs of the solve and of one residual
// evaluation (the move to a variable vector, which refreshes the bound
// fields, and the residual), in milliseconds, with the ratios.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>

#include "residual/residual.hpp"
#include "solver/solve.hpp"
#include "system/design_intent_edits.hpp"
#include "system/references.hpp"
#include "system/system.hpp"
#include "system/variable_layout.hpp"

using namespace ovralis;

namespace {

constexpr Index kPoints = 5001;
constexpr int kVariables = 100;

// Every point at distance 10 from the next two, point 0 fixed and Horizontal(0, 2).
System strip(bool bound) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    const double height = 10.0 * std::sqrt(3.0) / 2.0;
    System s;
    for (Index i = 0; i < kPoints; ++i) {
        s.points.push_back({5.0 * static_cast<double>(i) + jitter(rng),
                            static_cast<double>(i % 2) * height + jitter(rng), i == 0});
    }
    for (Index i = 0; i + 1 < kPoints; ++i) {
        s.constraints.push_back({ConstraintKind::Distance, {i, i + 1, 0}, {10.0, 0.0}});
        s.constraints.push_back({ConstraintKind::Distance, {i, i + 2 < kPoints ? i + 2 : 0, 0},
                                 {10.0, 0.0}});
    }
    s.constraints.pop_back();  // the last point has no second neighbour
    s.constraints.push_back({ConstraintKind::Horizontal, {0, 2, 0}, {}});
    if (!bound) return s;
    for (int v = 0; v < kVariables; ++v) add_variable(s, "v" + std::to_string(v), 10.0, true);
    Index k = 0;
    for (Index c = 0; c < s.constraints.size(); ++c) {
        if (s.constraints[c].kind != ConstraintKind::Distance) continue;
        restore_binding(s, c, "d", "v" + std::to_string(k++ % kVariables));
    }
    return s;
}

double best_ms(int runs, const std::function<void()>& run) {
    double best = 1e300;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const auto stop = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(stop - start).count());
    }
    return best;
}

struct Figures {
    double solve_ms;
    double residual_ms;
    bool converged;
};

Figures measure(bool bound) {
    Figures f{};
    f.solve_ms = best_ms(3, [&] {
        System s = strip(bound);
        f.converged = solve(s, 200, 1e-8, {}).converged;
    });
    System s = strip(bound);
    validate_references(s);
    build_variables(s);
    const Eigen::VectorXd x = gather(s);
    const ResidualForm form = solver_residual_form(s);
    Eigen::VectorXd residual;
    f.residual_ms = best_ms(50, [&] {
        scatter(s, x);
        evaluate_residuals(s, form, residual);
    });
    return f;
}

}  // namespace

int main() {
    const Figures literal = measure(false);
    const Figures bound = measure(true);
    std::printf("%-28s %12s %12s %8s\n", "10,000 distances", "literal ms", "bound ms", "ratio");
    std::printf("%-28s %12.2f %12.2f %8.2f\n", "solve", literal.solve_ms, bound.solve_ms,
                bound.solve_ms / literal.solve_ms);
    std::printf("%-28s %12.3f %12.3f %8.2f\n", "move + residual", literal.residual_ms,
                bound.residual_ms, bound.residual_ms / literal.residual_ms);
    std::printf("converged: literal %s, bound %s\n", literal.converged ? "yes" : "no",
                bound.converged ? "yes" : "no");
    return literal.converged && bound.converged ? 0 : 1;
}
