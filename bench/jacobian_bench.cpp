// Jacobian evaluation on a 100,000-point sketch: analytic triplets, the
// solver's compressed analytic Jacobian and its compressed central differences.
// Prints the best of several runs of each, in milliseconds.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

#include "jacobian/jacobian.hpp"
#include "residual/residual.hpp"
#include "system/system.hpp"

using namespace ovralis;

namespace {

constexpr Index kPoints = 100000;

// A triangulated strip: every point at distance 10 from the next two, point 0
// fixed, Horizontal(0, 2), and every thousand points a line made parallel to
// the previous one and a circle through a neighbour. Coordinates are jittered
// so that no derivative is special.
System triangulated_strip() {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    const double height = 10.0 * std::sqrt(3.0) / 2.0;
    System s;
    for (Index i = 0; i < kPoints; ++i) {
        s.points.push_back({5.0 * static_cast<double>(i) + jitter(rng),
                            static_cast<double>(i % 2) * height + jitter(rng), i == 0});
    }
    for (Index i = 0; i + 1 < kPoints; ++i) {
        s.constraints.push_back({ConstraintKind::Distance, {i, i + 1, 0}, {10.0, 0.0}});
        if (i + 2 < kPoints) {
            s.constraints.push_back({ConstraintKind::Distance, {i, i + 2, 0}, {10.0, 0.0}});
        }
    }
    s.constraints.push_back({ConstraintKind::Horizontal, {0, 2, 0}, {}});
    for (Index i = 1000; i + 2 < kPoints; i += 1000) {
        s.lines.push_back({i, i + 2});
        const Index line = s.lines.size() - 1;
        if (line > 0) s.constraints.push_back({ConstraintKind::Parallel, {line - 1, line, 0}, {}});
        s.circles.push_back({i, 10.0, false});
        s.constraints.push_back(
            {ConstraintKind::PointOnCircle, {i + 1, s.circles.size() - 1, 0}, {}});
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

}  // namespace

int main() {
    System s = triangulated_strip();
    build_variables(s);
    const Eigen::VectorXd x = gather(s);
    scatter(s, x);
    const Eigen::Index rows = residual_size(s, solver_residual_form(s));
    std::printf("sketch: %zu points, %zu constraints, %td rows, %td columns\n", s.points.size(),
                s.constraints.size(), rows, x.size());

    constexpr int kRuns = 5;
    std::size_t triplet_count = 0;
    const double triplets_ms = best_ms(kRuns, [&] { triplet_count = sparse_jacobian(s).size(); });

    Eigen::Index analytic_nonzeros = 0;
    s.analytic_jacobian = true;
    const double analytic_ms =
        best_ms(kRuns, [&] { analytic_nonzeros = solver_jacobian(s, x, rows).nonZeros(); });

    Eigen::Index difference_nonzeros = 0;
    s.analytic_jacobian = false;
    const double difference_ms =
        best_ms(kRuns, [&] { difference_nonzeros = solver_jacobian(s, x, rows).nonZeros(); });

    std::printf("analytic triplets (sparse_jacobian):        %8.1f ms  (%zu triplets)\n",
                triplets_ms, triplet_count);
    std::printf("analytic compressed (solver_jacobian):      %8.1f ms  (%td non-zeros)\n",
                analytic_ms, analytic_nonzeros);
    std::printf("central differences (solver_jacobian):      %8.1f ms  (%td non-zeros)\n",
                difference_ms, difference_nonzeros);
    return 0;
}
