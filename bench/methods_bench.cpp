// Times every solve method on a triangulated strip at several sizes and
// prints one table: median wall time per solve, with the iterations taken and
// whether it converged. Sizes where a method is impractical are skipped.
//
// Usage: methods_bench [largest strip size]   (default 100000)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "solver/solve.hpp"
#include "system/store.hpp"
#include "system/system.hpp"

namespace {

using namespace ovralis;

struct MethodColumn {
    const char* name;
    SolveMethod method;
    bool sparse_solver;
    // Largest strip the method is run on; beyond it the dense n x n algebra
    // (LU per iteration for dogleg, the inverse Hessian for BFGS) costs too much.
    std::size_t largest_practical;
    const char* limit_reason;
};

constexpr MethodColumn kColumns[] = {
    {"LM", SolveMethod::Automatic, false, 100000, ""},
    {"sparse LM", SolveMethod::Automatic, true, 100000, ""},
    {"dogleg", SolveMethod::DogLeg, false, 1000, "dense n x n LU every iteration (n^3)"},
    {"BFGS", SolveMethod::Bfgs, false, 1000, "dense n x n inverse Hessian (n^2 memory and work)"},
};

// N points zig-zagging along two rows, each at distance 10 from the next two:
// a rigid strip of equilateral triangles, pinned by point 0 and by
// Horizontal(0, 2). The start is the solution moved by up to 0.5 per coordinate.
System triangulated_strip(std::size_t count) {
    System system;
    std::mt19937_64 random(12345);
    std::uniform_real_distribution<double> nudge(-0.5, 0.5);
    const double height = 5.0 * std::sqrt(3.0);
    for (std::size_t i = 0; i < count; ++i) {
        const double x = 5.0 * static_cast<double>(i);
        const double y = (i % 2 == 1) ? height : 0.0;
        if (i == 0) {
            add_point(system, x, y, true);
        } else {
            add_point(system, x + nudge(random), y + nudge(random), false);
        }
    }
    for (std::size_t i = 0; i + 1 < count; ++i) {
        add_constraint(system, Constraint{ConstraintKind::Distance, {i, i + 1, 0}, {10.0, 0.0}});
        if (i + 2 < count) {
            add_constraint(system,
                           Constraint{ConstraintKind::Distance, {i, i + 2, 0}, {10.0, 0.0}});
        }
    }
    if (count > 2) {
        add_constraint(system, Constraint{ConstraintKind::Horizontal, {0, 2, 0}, {}});
    }
    return system;
}

struct Timing {
    double median_ms = 0.0;
    SolveReport report;
};

Timing time_method(const System& strip, const MethodColumn& column, int runs) {
    std::vector<double> times;
    Timing timing;
    for (int run = 0; run < runs; ++run) {
        System system = strip;
        system.sparse_solver = column.sparse_solver;
        const auto start = std::chrono::steady_clock::now();
        timing.report = solve_engine(system, 200, column.method, 1e-8);
        const auto stop = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
    std::sort(times.begin(), times.end());
    timing.median_ms = times[times.size() / 2];
    return timing;
}

std::string cell(const Timing& timing) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f ms (%llu%s)", timing.median_ms,
                  static_cast<unsigned long long>(timing.report.iterations),
                  timing.report.converged ? "" : ", not converged");
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t largest = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100000;
    const std::size_t sizes[] = {10, 100, 1000, 10000, 100000};

    std::printf("Triangulated strip, max_iter 200, tol 1e-8: median solve time (iterations)\n");
    std::printf("%-8s", "points");
    for (const MethodColumn& column : kColumns) std::printf(" | %-28s", column.name);
    std::printf("\n");

    for (const std::size_t size : sizes) {
        if (size > largest) break;
        const System strip = triangulated_strip(size);
        const int runs = size <= 1000 ? 5 : 1;
        std::printf("%-8zu", size);
        for (const MethodColumn& column : kColumns) {
            const std::string text =
                size <= column.largest_practical ? cell(time_method(strip, column, runs)) : "-";
            std::printf(" | %-28s", text.c_str());
            std::fflush(stdout);
        }
        std::printf("\n");
    }

    std::printf("\nSkipped (-):\n");
    for (const MethodColumn& column : kColumns) {
        if (column.largest_practical < sizes[std::size(sizes) - 1]) {
            std::printf("  %s above %zu points: %s\n", column.name, column.largest_practical,
                        column.limit_reason);
        }
    }
    return 0;
}
