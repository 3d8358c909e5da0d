#pragma once

// Shared by the per-family residual files: the small vector algebra the
// equations are written in, and the entry point of each family.

#include <cmath>

#include "residual/residual.hpp"

namespace ovralis::residual_detail {

// Degrees convert with this pi, multiplying before dividing.
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;

inline double degrees_to_radians(double deg) { return deg * kPi / 180.0; }

struct Vec2 {
    double x;
    double y;
};

inline Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
inline double cross(Vec2 u, Vec2 v) { return u.x * v.y - u.y * v.x; }
inline double dot(Vec2 u, Vec2 v) { return u.x * v.x + u.y * v.y; }
inline double squared_norm(Vec2 u) { return u.x * u.x + u.y * u.y; }
// Deliberately the plain root of the sum of squares (not hypot): the residual
// values are fixed to this rounding.
inline double norm(Vec2 u) { return std::sqrt(squared_norm(u)); }

inline Vec2 point_at(const System& system, Index index) {
    const Point& p = system.points[index];
    return {p.x, p.y};
}

inline ConstraintEntries one_entry(double value) { return {{value, 0.0}, 1}; }
inline ConstraintEntries two_entries(double first, double second) { return {{first, second}, 2}; }

// Each family evaluates only its own kinds; any other kind is an internal error.
ConstraintEntries point_line_residual(const System& system, const Constraint& c);
ConstraintEntries circle_arc_residual(const System& system, const Constraint& c);
ConstraintEntries ellipse_residual(const System& system, const Constraint& c);

}  // namespace ovralis::residual_detail
