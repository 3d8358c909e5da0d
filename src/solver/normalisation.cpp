// The solve's length scale, the mean point spacing, and the division of every
// length by it and back.
#include "solver/normalisation.hpp"

#include <cmath>
#include <cstddef>
#include <vector>

#include "solver/pair_distance_sum.hpp"

namespace ovralis {
namespace {

// Applies `op` to every value that normalisation scales.
template <class Op>
void for_each_length(System& system, Op op) {
    for_each_entity_length(system, op);
    for (Constraint& c : system.constraints) {
        const KindInfo& info = kind_info(c.kind);
        for (std::uint8_t f = 0; f < info.field_count; ++f) {
            if (info.fields[f].is_length) op(c.value[info.fields[f].slot]);
        }
    }
}

}  // namespace

double mean_point_spacing(const System& system, const InterruptPoll& interrupted) {
    const std::size_t n = system.points.size();
    if (n < 2) return 0.0;
    std::vector<double> xs(n);
    std::vector<double> ys(n);
    for (std::size_t i = 0; i < n; ++i) {
        xs[i] = system.points[i].x;
        ys[i] = system.points[i].y;
    }
    const double total = pair_distance_sum(xs, ys, pair_distance_threads(n), interrupted);
    const double pairs = static_cast<double>(n) * static_cast<double>(n - 1) / 2.0;
    return total / pairs;
}

double length_scale(const System& system, const InterruptPoll& interrupted) {
    const double spacing = mean_point_spacing(system, interrupted);
    // A non-finite spacing (a NaN or infinite coordinate) would turn every
    // length into NaN; such a sketch is solved in its own units instead.
    const bool usable = system.points.size() >= 2 && spacing >= 1e-12 && std::isfinite(spacing);
    return usable ? spacing : 1.0;
}

void normalise(System& system, const InterruptPoll& interrupted) {
    system.scale = length_scale(system, interrupted);
    const double scale = system.scale;
    for_each_length(system, [scale](double& value) { value /= scale; });
    system.length_unit = scale;
}

void unnormalise(System& system) {
    const double scale = system.scale;
    for_each_length(system, [scale](double& value) { value *= scale; });
    system.length_unit = 1.0;
}

}  // namespace ovralis
