// Whether the geometry of a solved sketch holds, in units that mean the same
// for every kind.
//
// The methods stop on the largest residual entry, and residual entries have
// mixed units (squared lengths, cosine differences, cross products), so a
// small residual can hide a visible error: a tiny circle well off its tangent
// line, a small angle off by a fraction of itself. Geometric errors are
// lengths relative to the sketch's scale or angles in radians, so one
// tolerance fits all of them.

#include "solver/convergence_judge.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "expression/bound_fields.hpp"
#include "residual/geometric_error.hpp"

namespace ovralis {
namespace {

constexpr double kRoundingUlps = 16.0;

double largest_coordinate(const System& system) {
    double largest = 0.0;
    for (const Point& p : system.points) {
        largest = std::max({largest, std::abs(p.x), std::abs(p.y)});
    }
    return largest;
}

}  // namespace

double geometric_tolerance(const System& system, double tol, double length_scale) {
    const double rounding = kRoundingUlps * std::numeric_limits<double>::epsilon() *
                            std::max(1.0, largest_coordinate(system) / length_scale);
    return std::max(tol, rounding);
}

bool geometry_holds(const System& system, double tol, double length_scale) {
    const double tolerance = geometric_tolerance(system, tol, length_scale);
    return std::all_of(system.constraints.begin(), system.constraints.end(),
                       [&](const Constraint& c) {
                           return std::abs(geometric_error(system, c, length_scale)) <= tolerance;
                       }) &&
           std::all_of(system.equations.begin(), system.equations.end(),
                       [&](const Equation& e) { return equation_error(system, e) <= tolerance; });
}

}  // namespace ovralis
