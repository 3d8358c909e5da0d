// For two points X, Y drawn independently from the sketch's points, the mean
// pair distance is E|X - Y| (scaled by n / (n - 1), which only raises it),
// and by Hölder's inequality
//
//     E|Z| >= (E|Z|^2)^(3/2) / (E|Z|^4)^(1/2),   Z = X - Y,
//
// where the second and fourth moments of Z follow from the central moments
// of the coordinates, gathered in one pass.

#include "solver/scale_bound.hpp"

#include <algorithm>
#include <cmath>

namespace ovralis {

double length_scale_lower_bound(const System& system) {
    constexpr double kFloor = 1e-300;
    const std::size_t n = system.points.size();
    // length_scale is 1 with fewer than two points.
    if (n < 2) return 1.0;
    double mean_x = 0.0;
    double mean_y = 0.0;
    for (const Point& p : system.points) {
        mean_x += p.x;
        mean_y += p.y;
    }
    mean_x /= static_cast<double>(n);
    mean_y /= static_cast<double>(n);
    double uu = 0.0, vv = 0.0, uv = 0.0, uuuu = 0.0, vvvv = 0.0, uuvv = 0.0;
    for (const Point& p : system.points) {
        const double u = p.x - mean_x;
        const double v = p.y - mean_y;
        uu += u * u;
        vv += v * v;
        uv += u * v;
        uuuu += u * u * u * u;
        vvvv += v * v * v * v;
        uuvv += u * u * v * v;
    }
    const double count = static_cast<double>(n);
    uu /= count, vv /= count, uv /= count, uuuu /= count, vvvv /= count, uuvv /= count;
    const double second = 2.0 * (uu + vv);
    const double fourth = (2.0 * uuuu + 6.0 * uu * uu) + (2.0 * vvvv + 6.0 * vv * vv) +
                          2.0 * (2.0 * uuvv + 2.0 * uu * vv + 4.0 * uv * uv);
    // Coincident points, or a non-finite coordinate: length_scale is 1 for
    // the first and the second holds no constraint whatever the scale.
    if (!(second > 0.0) || !std::isfinite(fourth)) return 1.0;
    // Hölder's bound, with a margin for the rounding of the sums.
    const double bound = second * std::sqrt(second / fourth) * (1.0 - 1e-12);
    // Below a spacing of 1e-12 length_scale is 1, which is above the bound too.
    return std::max(bound, kFloor);
}

}  // namespace ovralis
