// The all-pairs distance sum: a SIMD kernel per row of the pair triangle, rows
// grouped into fixed chunks, chunks shared out to standard threads.
#include "solver/pair_distance_sum.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ovralis {
namespace {

// About a quarter of a millisecond of kernel work: small enough that a few
// thousand points already make a dozen chunks to share out, large enough that
// taking one from the shared counter costs nothing.
constexpr std::size_t kPairsPerChunk = std::size_t{1} << 18;

// Below this many points there is a single chunk, or starting a second
// thread saves nothing (measured with bench/spacing_bench.cpp: 1,000 points
// gain 1.45 times on two threads, 2,000 gain 1.7).
constexpr std::size_t kThreadedPoints = 1000;

// Sum of the distances from (x, y) to the `count` points of xs/ys.
//
// The pair sum is quadratic (about 5e9 pairs for 100,000 points), so this is
// the one loop in the solver where the instruction set matters. Square roots
// dominate and the compiler will not vectorise std::sqrt while it may set
// errno, so the kernels are written out: four independent partial sums keep
// the adds from serialising, and each call is one row of the pair triangle,
// which keeps every partial sum short enough to stay accurate. The widest
// kernel the processor has is taken: AVX-512 (within one unit in the last
// place per distance, measured over 1.6e7 squared distances across the whole
// exponent range), else AVX2 (correctly rounded), else this one.
double distance_sum_portable(const double* xs, const double* ys, std::size_t count, double x,
                             double y) {
    double partial[4] = {0.0, 0.0, 0.0, 0.0};
    std::size_t j = 0;
    for (; j + 4 <= count; j += 4) {
        for (std::size_t lane = 0; lane < 4; ++lane) {
            const double dx = xs[j + lane] - x;
            const double dy = ys[j + lane] - y;
            partial[lane] += std::sqrt(dx * dx + dy * dy);
        }
    }
    double sum = (partial[0] + partial[1]) + (partial[2] + partial[3]);
    for (; j < count; ++j) {
        const double dx = xs[j] - x;
        const double dy = ys[j] - y;
        sum += std::sqrt(dx * dx + dy * dy);
    }
    return sum;
}

#if defined(__x86_64__)
__attribute__((target("avx2"))) inline __m256d distances4(const double* xs, const double* ys,
                                                          __m256d x, __m256d y) {
    const __m256d dx = _mm256_sub_pd(_mm256_loadu_pd(xs), x);
    const __m256d dy = _mm256_sub_pd(_mm256_loadu_pd(ys), y);
    return _mm256_sqrt_pd(_mm256_add_pd(_mm256_mul_pd(dx, dx), _mm256_mul_pd(dy, dy)));
}

__attribute__((target("avx2"))) double distance_sum_avx2(const double* xs, const double* ys,
                                                         std::size_t count, double x, double y) {
    const __m256d px = _mm256_set1_pd(x);
    const __m256d py = _mm256_set1_pd(y);
    __m256d first = _mm256_setzero_pd();
    __m256d second = _mm256_setzero_pd();
    std::size_t j = 0;
    for (; j + 8 <= count; j += 8) {
        first = _mm256_add_pd(first, distances4(xs + j, ys + j, px, py));
        second = _mm256_add_pd(second, distances4(xs + j + 4, ys + j + 4, px, py));
    }
    alignas(32) double lanes[4];
    _mm256_store_pd(lanes, _mm256_add_pd(first, second));
    return (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]) +
           distance_sum_portable(xs + j, ys + j, count - j, x, y);
}
// Eight distances at a time without the divider: AVX-512 gives a 14-bit
// estimate y of 1 / sqrt(s), and two Goldschmidt steps refine g = s y
// towards sqrt(s) and h = y / 2 towards 1 / (2 sqrt(s)) together, to a few
// units in the last place of the distance; the correctly rounded square root
// takes several times as long. s = 0 and s = infinity, whose estimates are
// infinity and 0, are their own square roots.
__attribute__((target("avx512f"))) inline __m512d distances8(const double* xs, const double* ys,
                                                            __m512d x, __m512d y) {
    const __m512d dx = _mm512_sub_pd(_mm512_loadu_pd(xs), x);
    const __m512d dy = _mm512_sub_pd(_mm512_loadu_pd(ys), y);
    const __m512d squared = _mm512_fmadd_pd(dx, dx, _mm512_mul_pd(dy, dy));
    const __m512d half = _mm512_set1_pd(0.5);
    const __m512d estimate = _mm512_maskz_rsqrt14_pd(0xFF, squared);
    __m512d root = _mm512_mul_pd(squared, estimate);
    __m512d half_inverse = _mm512_mul_pd(half, estimate);
    __m512d error = _mm512_fnmadd_pd(root, half_inverse, half);  // 1/2 - g h
    root = _mm512_fmadd_pd(root, error, root);
    half_inverse = _mm512_fmadd_pd(half_inverse, error, half_inverse);
    error = _mm512_fnmadd_pd(root, half_inverse, half);
    root = _mm512_fmadd_pd(root, error, root);
    const __mmask8 own_root =
        _mm512_cmp_pd_mask(squared, _mm512_setzero_pd(), _CMP_EQ_OQ) |
        _mm512_cmp_pd_mask(squared, _mm512_set1_pd(HUGE_VAL), _CMP_EQ_OQ);
    return _mm512_mask_blend_pd(own_root, root, squared);
}

__attribute__((target("avx512f"))) double distance_sum_avx512(const double* xs, const double* ys,
                                                             std::size_t count, double x,
                                                             double y) {
    const __m512d px = _mm512_set1_pd(x);
    const __m512d py = _mm512_set1_pd(y);
    __m512d first = _mm512_setzero_pd();
    __m512d second = _mm512_setzero_pd();
    std::size_t j = 0;
    for (; j + 16 <= count; j += 16) {
        first = _mm512_add_pd(first, distances8(xs + j, ys + j, px, py));
        second = _mm512_add_pd(second, distances8(xs + j + 8, ys + j + 8, px, py));
    }
    alignas(64) double lanes[8];
    _mm512_store_pd(lanes, _mm512_add_pd(first, second));
    return ((lanes[0] + lanes[1]) + (lanes[2] + lanes[3])) +
           ((lanes[4] + lanes[5]) + (lanes[6] + lanes[7])) +
           distance_sum_portable(xs + j, ys + j, count - j, x, y);
}
#endif

using DistanceSum = double (*)(const double*, const double*, std::size_t, double, double);

DistanceSum pick_distance_sum() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx512f")) return distance_sum_avx512;
    if (__builtin_cpu_supports("avx2")) return distance_sum_avx2;
#endif
    return distance_sum_portable;
}

// First rows of the chunks of the pair triangle (row i pairs point i with the
// points after it), then the row count: consecutive rows are gathered until
// they hold kPairsPerChunk pairs, so the cut depends on the point count only.
std::vector<std::size_t> chunk_starts(std::size_t points) {
    std::vector<std::size_t> starts{0};
    std::size_t pairs_in_chunk = 0;
    for (std::size_t row = 0; row + 1 < points; ++row) {
        pairs_in_chunk += points - 1 - row;
        if (pairs_in_chunk >= kPairsPerChunk) {
            starts.push_back(row + 1);
            pairs_in_chunk = 0;
        }
    }
    if (pairs_in_chunk > 0) starts.push_back(points - 1);
    return starts;
}

}  // namespace

double pair_distance_sum(std::span<const double> xs, std::span<const double> ys,
                         unsigned thread_count, const InterruptPoll& interrupted) {
    const std::size_t points = xs.size();
    if (points < 2) return 0.0;
    const std::vector<std::size_t> starts = chunk_starts(points);
    const std::size_t chunk_count = starts.size() - 1;
    std::vector<double> chunk_totals(chunk_count);
    const DistanceSum distance_sum = pick_distance_sum();

    // Whichever thread takes a chunk, the chunk's rows are added in row order
    // into its own slot. A chunk is a fraction of a millisecond of work, so
    // looking at `stopped` between chunks stops every thread promptly.
    std::atomic<std::size_t> next_chunk{0};
    std::atomic<bool> stopped{false};
    const auto sum_chunks = [&](bool polling) {
        for (std::size_t chunk = next_chunk.fetch_add(1, std::memory_order_relaxed);
             chunk < chunk_count; chunk = next_chunk.fetch_add(1, std::memory_order_relaxed)) {
            if (stopped.load(std::memory_order_relaxed)) return;
            double total = 0.0;
            for (std::size_t row = starts[chunk]; row < starts[chunk + 1]; ++row) {
                total += distance_sum(xs.data() + row + 1, ys.data() + row + 1, points - row - 1,
                                      xs[row], ys[row]);
            }
            chunk_totals[chunk] = total;
            // Polled only while chunks remain: a sum of one chunk is never interrupted.
            const bool more = next_chunk.load(std::memory_order_relaxed) < chunk_count;
            if (polling && more && interrupted && interrupted()) {
                stopped.store(true, std::memory_order_relaxed);
                return;
            }
        }
    };

    const std::size_t helper_count =
        std::min<std::size_t>(std::max(thread_count, 1u), chunk_count) - 1;
    {
        std::vector<std::jthread> helpers;
        helpers.reserve(helper_count);
        try {
            // A helper throws nothing and touches no thread-local storage of
            // the C++ runtime, so it never needs memory once it has started.
            while (helpers.size() < helper_count) {
                helpers.emplace_back([&]() noexcept { sum_chunks(false); });
            }
        } catch (const std::system_error&) {
            // No more threads to be had: those started and the caller share
            // the chunks all the same.
        } catch (const std::bad_alloc&) {
            // Likewise when memory for another thread's state is short.
        }
        sum_chunks(true);
    }  // the helpers join here, so every slot is written
    if (stopped.load(std::memory_order_relaxed)) throw SolveInterrupted{};

    double total = 0.0;
    for (double chunk_total : chunk_totals) total += chunk_total;
    return total;
}

unsigned pair_distance_threads(std::size_t points) {
    if (points < kThreadedPoints) return 1;
    return std::max(std::thread::hardware_concurrency(), 1u);
}

}  // namespace ovralis
