// Residuals of the kinds that involve only points and lines.

#include <cmath>
#include <string>

#include "residual/kind_residuals.hpp"
#include "system/errors.hpp"

namespace ovralis::residual_detail {
namespace {

// A line's endpoints A (p1) and B (p2).
struct Segment {
    Vec2 a;
    Vec2 b;
    Vec2 direction() const { return b - a; }
};

Segment segment_at(const System& system, Index line) {
    const Line& l = system.lines[line];
    return {point_at(system, l.p1), point_at(system, l.p2)};
}

// Below this length a direction is treated as having none.
constexpr double kMinLength = 1e-12;
// Below this squared length (or cross product) a line is treated as a point.
constexpr double kMinSquaredLength = 1e-24;

ConstraintEntries distance(const System& s, const Constraint& c) {
    return one_entry(norm(point_at(s, c.index[0]) - point_at(s, c.index[1])) - c.value[0]);
}

ConstraintEntries horizontal(const System& s, const Constraint& c) {
    return one_entry(point_at(s, c.index[0]).y - point_at(s, c.index[1]).y);
}

ConstraintEntries vertical(const System& s, const Constraint& c) {
    return one_entry(point_at(s, c.index[0]).x - point_at(s, c.index[1]).x);
}

ConstraintEntries coincident(const System& s, const Constraint& c) {
    const Vec2 p1 = point_at(s, c.index[0]);
    const Vec2 p2 = point_at(s, c.index[1]);
    return two_entries(p1.x - p2.x, p1.y - p2.y);
}

// The raw cross product: not divided by the line's length.
ConstraintEntries point_on_line(const System& s, const Constraint& c) {
    const Segment line = segment_at(s, c.index[1]);
    return one_entry(cross(point_at(s, c.index[0]) - line.a, line.direction()));
}

ConstraintEntries parallel(const System& s, const Constraint& c) {
    return one_entry(
        cross(segment_at(s, c.index[0]).direction(), segment_at(s, c.index[1]).direction()));
}

ConstraintEntries perpendicular(const System& s, const Constraint& c) {
    return one_entry(
        dot(segment_at(s, c.index[0]).direction(), segment_at(s, c.index[1]).direction()));
}

// Cosine of the angle between the directions against cos(deg); orientation-blind.
ConstraintEntries angle(const System& s, const Constraint& c) {
    const Vec2 d1 = segment_at(s, c.index[0]).direction();
    const Vec2 d2 = segment_at(s, c.index[1]).direction();
    const double n1 = norm(d1);
    const double n2 = norm(d2);
    if (n1 < kMinLength || n2 < kMinLength) return one_entry(0.0);
    return one_entry(dot(d1, d2) / (n1 * n2) - std::cos(degrees_to_radians(c.value[0])));
}

// Shared by EqualLength and EqualLineLength.
ConstraintEntries equal_length(const System& s, const Constraint& c) {
    return one_entry(norm(segment_at(s, c.index[0]).direction()) -
                     norm(segment_at(s, c.index[1]).direction()));
}

ConstraintEntries fixed_point(const System& s, const Constraint& c) {
    const Vec2 p = point_at(s, c.index[0]);
    return two_entries(p.x - c.value[0], p.y - c.value[1]);
}

// The unsigned angle at b from ray b->a to ray b->c, in radians, against deg.
ConstraintEntries angle_between_points(const System& s, const Constraint& c) {
    const Vec2 vertex = point_at(s, c.index[1]);
    const Vec2 u = point_at(s, c.index[0]) - vertex;
    const Vec2 v = point_at(s, c.index[2]) - vertex;
    const double nu = norm(u);
    const double nv = norm(v);
    if (nu < kMinLength || nv < kMinLength) return one_entry(0.0);
    // Lower bound first: fmax drops a NaN quotient, so NaN maps to -1 (angle pi).
    const double k = std::fmin(std::fmax(dot(u, v) / (nv * nu), -1.0), 1.0);
    return one_entry(std::acos(k) - degrees_to_radians(c.value[0]));
}

ConstraintEntries midpoint(const System& s, const Constraint& c) {
    const Vec2 m = point_at(s, c.index[0]);
    const Vec2 p1 = point_at(s, c.index[1]);
    const Vec2 p2 = point_at(s, c.index[2]);
    return two_entries(m.x - (p1.x + p2.x) * 0.5, m.y - (p1.y + p2.y) * 0.5);
}

// p_out against the mirror image of p_in in the infinite line.
ConstraintEntries symmetry(const System& s, const Constraint& c) {
    const Vec2 out = point_at(s, c.index[0]);
    const Vec2 in = point_at(s, c.index[1]);
    const Segment line = segment_at(s, c.index[2]);
    const Vec2 d = line.direction();
    const double n = squared_norm(d);
    // A line without length mirrors nothing: the image is the point itself.
    if (n < kMinSquaredLength) return two_entries(out.x - in.x, out.y - in.y);
    const double t = ((in.y - line.a.y) * d.y + (in.x - line.a.x) * d.x) / n;
    const Vec2 foot{t * d.x + line.a.x, t * d.y + line.a.y};
    const Vec2 image{foot.x * 2.0 - in.x, foot.y * 2.0 - in.y};
    return two_entries(out.x - image.x, out.y - image.y);
}

// Squared perpendicular distance from the infinite line, minus d squared.
ConstraintEntries point_line_distance(const System& s, const Constraint& c) {
    const Vec2 p = point_at(s, c.index[0]);
    const Segment line = segment_at(s, c.index[1]);
    const Vec2 d = line.direction();
    const double target = c.value[0] * c.value[0];
    const double n = squared_norm(d);
    if (n < kMinSquaredLength) return one_entry(squared_norm(p - line.a) - target);
    const double k = cross(p - line.a, d);
    return one_entry(k * k / n - target);
}

// The point against the intersection of the two infinite lines; for parallel
// or degenerate lines, the point's incidence with each line instead.
ConstraintEntries line_line_intersection(const System& s, const Constraint& c) {
    const Vec2 p = point_at(s, c.index[0]);
    const Segment l1 = segment_at(s, c.index[1]);
    const Segment l2 = segment_at(s, c.index[2]);
    const Vec2 d1 = l1.direction();
    const Vec2 d2 = l2.direction();
    const double den = cross(d1, d2);
    if (std::fabs(den) < kMinSquaredLength) {
        return two_entries(cross(p - l1.a, d1), cross(p - l2.a, d2));
    }
    const double t = cross(l2.a - l1.a, d2) / den;
    const Vec2 x{t * d1.x + l1.a.x, d1.y * t + l1.a.y};
    return two_entries(p.x - x.x, p.y - x.y);
}

// The point at parameter t along the line (t is not limited to [0, 1]).
ConstraintEntries point_on_line_at(const System& s, const Constraint& c) {
    const Vec2 p = point_at(s, c.index[0]);
    const Segment line = segment_at(s, c.index[1]);
    const double t = c.value[0];
    return two_entries(p.x - ((line.b.x - line.a.x) * t + line.a.x),
                       p.y - ((line.b.y - line.a.y) * t + line.a.y));
}

}  // namespace

ConstraintEntries point_line_residual(const System& system, const Constraint& c) {
    using K = ConstraintKind;
    switch (c.kind) {
        case K::Distance: return distance(system, c);
        case K::Horizontal: return horizontal(system, c);
        case K::Vertical: return vertical(system, c);
        case K::Coincident: return coincident(system, c);
        case K::PointOnLine: return point_on_line(system, c);
        case K::Parallel: return parallel(system, c);
        case K::Perpendicular: return perpendicular(system, c);
        case K::Angle: return angle(system, c);
        case K::EqualLength:
        case K::EqualLineLength: return equal_length(system, c);
        case K::FixedPoint: return fixed_point(system, c);
        case K::AngleBetweenPoints: return angle_between_points(system, c);
        case K::Midpoint: return midpoint(system, c);
        case K::Symmetry: return symmetry(system, c);
        case K::PointLineDistance: return point_line_distance(system, c);
        case K::LineLineIntersection: return line_line_intersection(system, c);
        case K::PointOnLineAt: return point_on_line_at(system, c);
        default:
            throw InternalError("not a point or line constraint: " + std::string(kind_name(c)));
    }
}

}  // namespace ovralis::residual_detail
