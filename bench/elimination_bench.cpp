// The pivoted sparse elimination on the damped normal matrix of a gear chain,
// the pattern that fills most: centres first, radii after all of them, each
// radius coupled to its own centre and to its neighbours' centres and radii.
// Prints the best wall and processor time of several solves per size (the
// machine may be shared, and the elimination runs on one thread, so processor
// time is the steadier figure) and a checksum of the step's bits, which must
// not change when the elimination's internals do.
//
// Usage: elimination_bench [gears...]   (default 333 667 1000)

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <vector>

#include "jacobian/sparse_elimination.hpp"

namespace {

using namespace ovralis;
using RowMajor = Eigen::SparseMatrix<double, Eigen::RowMajor>;

// Jacobian pattern of a chain of `gears` circles, each tangent to the next,
// with every centre's y pinned; values random in [-1, 1].
RowMajor gear_chain_normal_matrix(int gears, std::mt19937& rng) {
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    const auto x = [](int i) { return 2 * i; };
    const auto y = [](int i) { return 2 * i + 1; };
    const auto r = [gears](int i) { return 2 * gears + i; };
    std::vector<Eigen::Triplet<double>> entries;
    int row = 0;
    for (int i = 0; i + 1 < gears; ++i, ++row) {
        for (int column : {x(i), y(i), x(i + 1), y(i + 1), r(i), r(i + 1)}) {
            entries.emplace_back(row, column, value(rng));
        }
    }
    for (int i = 0; i < gears; ++i, ++row) entries.emplace_back(row, y(i), 1.0);
    Eigen::SparseMatrix<double> jacobian(row, 3 * gears);
    jacobian.setFromTriplets(entries.begin(), entries.end());
    return RowMajor(jacobian.transpose() * jacobian);
}

std::uint64_t checksum(const Eigen::VectorXd& v) {
    std::uint64_t hash = 1469598103934665603ull;
    for (double d : v) hash = (hash ^ std::bit_cast<std::uint64_t>(d)) * 1099511628211ull;
    return hash;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int a = 1; a < argc; ++a) sizes.push_back(std::atoi(argv[a]));
    if (sizes.empty()) sizes = {333, 667, 1000};

    std::printf("%8s %10s %12s %12s %12s %18s\n", "gears", "unknowns", "non-zeros", "wall ms",
                "cpu ms", "step checksum");
    for (int gears : sizes) {
        std::mt19937 rng(42);
        const RowMajor a = gear_chain_normal_matrix(gears, rng);
        Eigen::VectorXd rhs(a.rows());
        std::uniform_real_distribution<double> value(-1.0, 1.0);
        for (Eigen::Index i = 0; i < rhs.size(); ++i) rhs[i] = value(rng);

        SparseEliminationWork work;  // reused between solves, as the solver does
        Eigen::VectorXd step;
        double best_wall = 1e300;
        double best_cpu = 1e300;
        const int runs = gears <= 400 ? 10 : 3;
        for (int run = 0; run < runs; ++run) {
            const auto start = std::chrono::steady_clock::now();
            const std::clock_t cpu_start = std::clock();
            step = solve_sparse_with_partial_pivoting(a, 1e-3, rhs, 1e-12, work);
            const std::clock_t cpu_stop = std::clock();
            const auto stop = std::chrono::steady_clock::now();
            best_wall = std::min(best_wall,
                                 std::chrono::duration<double, std::milli>(stop - start).count());
            best_cpu = std::min(
                best_cpu, 1000.0 * static_cast<double>(cpu_stop - cpu_start) / CLOCKS_PER_SEC);
        }
        std::printf("%8d %10td %12td %12.2f %12.2f %18llx\n", gears, a.rows(), a.nonZeros(),
                    best_wall, best_cpu, static_cast<unsigned long long>(checksum(step)));
    }
    return 0;
}
