// The 2-D vector every per-kind equation, derivative, error and check is
// written in, with pi and the guards below which a length counts as none.
#pragma once

#include <cmath>
#include <optional>

#include <Eigen/Core>

#include "system/entities.hpp"

namespace ovralis {

using Vec2 = Eigen::Vector2d;
using Mat2 = Eigen::Matrix2d;

inline Vec2 position(const Point& p) { return {p.x, p.y}; }

// Degrees convert with this pi, multiplying before dividing.
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;

// Below this length a direction (a line, a ray) is treated as having none.
inline constexpr double kMinLength = 1e-12;
// Below this squared length (or cross product of directions) a line is a point.
inline constexpr double kMinSquaredLength = 1e-24;
// Below this sine the derivative of acos is not taken.
inline constexpr double kMinSine = 1e-10;

inline double degrees_to_radians(double deg) { return deg * kPi / 180.0; }
inline double radians_to_degrees(double rad) { return rad * 180.0 / kPi; }

inline double cross(const Vec2& u, const Vec2& v) { return u.x() * v.y() - u.y() * v.x(); }
inline double dot(const Vec2& u, const Vec2& v) { return u.x() * v.x() + u.y() * v.y(); }
inline double squared_norm(const Vec2& u) { return u.x() * u.x() + u.y() * u.y(); }
// Deliberately the plain root of the sum of squares (not hypot): the residual
// values are fixed to this rounding.
inline double norm(const Vec2& u) { return std::sqrt(squared_norm(u)); }
// The length the checks after a solve report, through the C library's hypot,
// which neither overflows nor underflows on far-flung or tiny coordinates.
inline double hypot_norm(const Vec2& u) { return std::hypot(u.x(), u.y()); }

// cross(u, v) is linear in each argument: d/du = perp(v) and d/dv = -perp(u).
inline Vec2 perp(const Vec2& v) { return {v.y(), -v.x()}; }

// The unsigned angle between two directions, in [0, pi].
inline double angle_between(const Vec2& u, const Vec2& v) {
    return std::atan2(std::fabs(cross(u, v)), dot(u, v));
}

// The sine and cosine of the signed angle from u to v, and their gradients.
struct Turn {
    double sine;
    double cosine;
    Vec2 sine_wrt_u, sine_wrt_v, cosine_wrt_u, cosine_wrt_v;
};

// nullopt unless both u and v are longer than kMinLength.
std::optional<Turn> turn_between(const Vec2& u, const Vec2& v);

}  // namespace ovralis
