#include "solver/normalisation.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ovralis {
namespace {

// Sum of the distances from (x, y) to the `count` points of xs/ys.
//
// The pair sum is quadratic (about 5e9 pairs for 100,000 points), so this is
// the one loop in the solver where the instruction set matters. Square roots
// dominate and the compiler will not vectorise std::sqrt while it may set
// errno, so the kernels are written out: four independent partial sums keep
// the adds from serialising, and each call is one row of the pair triangle,
// which keeps every partial sum short enough to stay accurate.
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
#endif

using DistanceSum = double (*)(const double*, const double*, std::size_t, double, double);

DistanceSum pick_distance_sum() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) return distance_sum_avx2;
#endif
    return distance_sum_portable;
}

// Applies `op` to every value that normalisation scales.
template <class Op>
void for_each_length(System& system, Op op) {
    for (Point& p : system.points) {
        op(p.x);
        op(p.y);
    }
    for (Circle& c : system.circles) op(c.radius);
    for (Arc& a : system.arcs) op(a.radius);
    for (Ellipse& e : system.ellipses) op(e.radmin);
    for (ArcOfEllipse& e : system.arcs_of_ellipse) op(e.radmin);
    for (Constraint& c : system.constraints) {
        const KindInfo& info = kind_info(c.kind);
        for (std::uint8_t f = 0; f < info.field_count; ++f) {
            if (info.fields[f].is_length) op(c.value[info.fields[f].slot]);
        }
    }
}

}  // namespace

double mean_point_spacing(const System& system) {
    const std::size_t n = system.points.size();
    if (n < 2) return 0.0;
    std::vector<double> xs(n);
    std::vector<double> ys(n);
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = system.points[i].x;
        ys[i] = system.points[i].y;
    }
    const DistanceSum distance_sum = pick_distance_sum();
    double total = 0.0;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        total += distance_sum(xs.data() + i + 1, ys.data() + i + 1, n - i - 1, xs[i], ys[i]);
    }
    const double pairs = static_cast<double>(n) * static_cast<double>(n - 1) / 2.0;
    return total / pairs;
}

double length_scale(const System& system) {
    const double spacing = mean_point_spacing(system);
    // A non-finite spacing (a NaN or infinite coordinate) would turn every
    // length into NaN; such a sketch is solved in its own units instead.
    const bool usable = system.points.size() >= 2 && spacing >= 1e-12 && std::isfinite(spacing);
    return usable ? spacing : 1.0;
}

void normalise(System& system) {
    system.scale = length_scale(system);
    const double scale = system.scale;
    for_each_length(system, [scale](double& value) { value /= scale; });
}

void unnormalise(System& system) {
    const double scale = system.scale;
    for_each_length(system, [scale](double& value) { value *= scale; });
}

}  // namespace ovralis
