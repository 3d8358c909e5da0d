// The all-pairs distance sum behind the mean point spacing, on one thread and
// on more, for random points. Prints the best time of several runs per thread
// count and the speed-up over one thread, and checks that every thread count
// gives the same bits.
//
// Usage: spacing_bench [points...]   (default 500 1000 2000 4000 100000)

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

#include "solver/pair_distance_sum.hpp"

namespace {

using namespace ovralis;

struct Timing {
    double best_ms;
    double sum;
};

Timing time_sum(const std::vector<double>& xs, const std::vector<double>& ys, unsigned threads,
                int runs) {
    Timing timing{1e300, 0.0};
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        timing.sum = pair_distance_sum(xs, ys, threads);
        const auto stop = std::chrono::steady_clock::now();
        timing.best_ms = std::min(timing.best_ms,
                                  std::chrono::duration<double, std::milli>(stop - start).count());
    }
    return timing;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes;
    for (int a = 1; a < argc; ++a) sizes.push_back(std::strtoull(argv[a], nullptr, 10));
    if (sizes.empty()) sizes = {500, 1000, 2000, 4000, 100000};
    const unsigned hardware = std::max(std::thread::hardware_concurrency(), 1u);
    std::vector<unsigned> thread_counts{1};
    while (thread_counts.back() < hardware) {
        thread_counts.push_back(std::min(2 * thread_counts.back(), hardware));
    }

    std::printf("hardware threads: %u\n", hardware);
    std::printf("%8s %8s %12s %9s %16s %10s\n", "points", "threads", "best ms", "speed-up",
                "threads chosen", "same bits");
    for (std::size_t points : sizes) {
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> coordinate(-1000.0, 1000.0);
        std::vector<double> xs(points);
        std::vector<double> ys(points);
        for (std::size_t i = 0; i < points; ++i) {
            xs[i] = coordinate(rng);
            ys[i] = coordinate(rng);
        }
        const int runs = points >= 50000 ? 3 : 50;
        const Timing single = time_sum(xs, ys, 1, runs);
        for (unsigned threads : thread_counts) {
            const Timing timing = threads == 1 ? single : time_sum(xs, ys, threads, runs);
            const bool same = std::bit_cast<unsigned long long>(timing.sum) ==
                              std::bit_cast<unsigned long long>(single.sum);
            std::printf("%8zu %8u %12.3f %9.2f %16u %10s\n", points, threads, timing.best_ms,
                        single.best_ms / timing.best_ms, pair_distance_threads(points),
                        same ? "yes" : "NO");
        }
    }
    return 0;
}
