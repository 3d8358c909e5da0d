// The kinds that involve only points and lines: each kind's residual and its
// derivative, side by side.

#include "residual/point_line_kinds.hpp"

#include <cmath>

#include "residual/kind_support.hpp"

namespace ovralis::kinds {
namespace {

// ---- Distance: |P1 - P2| - d ----------------------------------------------

ConstraintEntries distance_residual(const System& s, const Constraint& c) {
    return one_entry(norm(point_ref(s, c.index[0]).at - point_ref(s, c.index[1]).at) - c.value[0]);
}

void distance_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    distance_terms(out, 0, point_ref(s, c.index[0]), point_ref(s, c.index[1]), 1.0);
}

// ---- Horizontal: P1.y - P2.y; Vertical: P1.x - P2.x -------------------------

ConstraintEntries horizontal_residual(const System& s, const Constraint& c) {
    return one_entry(s.points[c.index[0]].y - s.points[c.index[1]].y);
}

void horizontal_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    parameter_difference(out, 0, {ParamKind::PointY, c.index[0]}, {ParamKind::PointY, c.index[1]});
}

ConstraintEntries vertical_residual(const System& s, const Constraint& c) {
    return one_entry(s.points[c.index[0]].x - s.points[c.index[1]].x);
}

void vertical_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    parameter_difference(out, 0, {ParamKind::PointX, c.index[0]}, {ParamKind::PointX, c.index[1]});
}

// ---- Coincident: P1 - P2 ----------------------------------------------------

ConstraintEntries coincident_residual(const System& s, const Constraint& c) {
    const Vec2 p1 = point_ref(s, c.index[0]).at;
    const Vec2 p2 = point_ref(s, c.index[1]).at;
    return two_entries(p1.x() - p2.x(), p1.y() - p2.y());
}

void coincident_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    coincidence(out, c.index[0], c.index[1]);
}

// ---- PointOnLine: cross(P - A, d), not divided by the line's length ---------

// The residual is unchanged when Q, A and B move together, so A's gradient is
// minus the sum of the others.
void point_on_line_terms(ConstraintPartials& out, unsigned entry, const PointRef& q,
                         const LineRef& l) {
    const Vec2 wrt_q = perp(l.d);
    const Vec2 wrt_b = -perp(q.at - l.a.at);
    add_point(out, entry, q.index, wrt_q);
    add_point(out, entry, l.b.index, wrt_b);
    add_point(out, entry, l.a.index, -wrt_q - wrt_b);
}

ConstraintEntries point_on_line_residual(const System& s, const Constraint& c) {
    const LineRef line = line_ref(s, c.index[1]);
    return one_entry(cross(point_ref(s, c.index[0]).at - line.a.at, line.d));
}

void point_on_line_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    point_on_line_terms(out, 0, point_ref(s, c.index[0]), line_ref(s, c.index[1]));
}

// ---- Parallel: cross(d1, d2); Perpendicular: dot(d1, d2); raw directions -----

ConstraintEntries parallel_residual(const System& s, const Constraint& c) {
    return one_entry(cross(line_ref(s, c.index[0]).d, line_ref(s, c.index[1]).d));
}

void parallel_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const LineRef l1 = line_ref(s, c.index[0]);
    const LineRef l2 = line_ref(s, c.index[1]);
    add_point(out, 0, l1.b.index, perp(l2.d));
    add_point(out, 0, l1.a.index, -perp(l2.d));
    add_point(out, 0, l2.b.index, -perp(l1.d));
    add_point(out, 0, l2.a.index, perp(l1.d));
}

ConstraintEntries perpendicular_residual(const System& s, const Constraint& c) {
    return one_entry(dot(line_ref(s, c.index[0]).d, line_ref(s, c.index[1]).d));
}

void perpendicular_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const LineRef l1 = line_ref(s, c.index[0]);
    const LineRef l2 = line_ref(s, c.index[1]);
    add_point(out, 0, l1.b.index, l2.d);
    add_point(out, 0, l1.a.index, -l2.d);
    add_point(out, 0, l2.b.index, l1.d);
    add_point(out, 0, l2.a.index, -l1.d);
}

// ---- Angle: cos of the angle between the directions - cos(deg) ---------------
// Orientation-blind; 0 when either line has no length.

ConstraintEntries angle_residual(const System& s, const Constraint& c) {
    const Vec2 d1 = line_ref(s, c.index[0]).d;
    const Vec2 d2 = line_ref(s, c.index[1]).d;
    const double n1 = norm(d1);
    const double n2 = norm(d2);
    if (n1 < kMinLength || n2 < kMinLength) return one_entry(0.0);
    return one_entry(dot(d1, d2) / (n1 * n2) - std::cos(degrees_to_radians(c.value[0])));
}

void angle_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const LineRef l1 = line_ref(s, c.index[0]);
    const LineRef l2 = line_ref(s, c.index[1]);
    const double n1 = l1.d.norm();
    const double n2 = l2.d.norm();
    if (!(n1 > kMinLength && n2 > kMinLength)) return;
    const double cosine = l1.d.dot(l2.d) / (n1 * n2);
    const Vec2 wrt_d1 = l2.d / (n1 * n2) - l1.d * (cosine / (n1 * n1));
    const Vec2 wrt_d2 = l1.d / (n1 * n2) - l2.d * (cosine / (n2 * n2));
    add_point(out, 0, l1.b.index, wrt_d1);
    add_point(out, 0, l1.a.index, -wrt_d1);
    add_point(out, 0, l2.b.index, wrt_d2);
    add_point(out, 0, l2.a.index, -wrt_d2);
}

// ---- EqualLength and EqualLineLength: |d1| - |d2| ----------------------------

ConstraintEntries equal_length_residual(const System& s, const Constraint& c) {
    return one_entry(norm(line_ref(s, c.index[0]).d) - norm(line_ref(s, c.index[1]).d));
}

void equal_length_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const LineRef l1 = line_ref(s, c.index[0]);
    const LineRef l2 = line_ref(s, c.index[1]);
    distance_terms(out, 0, l1.b, l1.a, 1.0);
    distance_terms(out, 0, l2.b, l2.a, -1.0);
}

// ---- FixedPoint: P - (x, y) ---------------------------------------------------

ConstraintEntries fixed_point_residual(const System& s, const Constraint& c) {
    const Vec2 p = point_ref(s, c.index[0]).at;
    return two_entries(p.x() - c.value[0], p.y() - c.value[1]);
}

void fixed_point_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    add_point_identity(out, c.index[0], 1.0);
}

// ---- AngleBetweenPoints: the unsigned angle at b from b->a to b->c, - deg ----

ConstraintEntries angle_between_points_residual(const System& s, const Constraint& c) {
    const Vec2 vertex = point_ref(s, c.index[1]).at;
    const Vec2 u = point_ref(s, c.index[0]).at - vertex;
    const Vec2 v = point_ref(s, c.index[2]).at - vertex;
    const double nu = norm(u);
    const double nv = norm(v);
    if (nu < kMinLength || nv < kMinLength) return one_entry(0.0);
    // Lower bound first: fmax drops a NaN quotient, so NaN maps to -1 (angle pi).
    const double k = std::fmin(std::fmax(dot(u, v) / (nv * nu), -1.0), 1.0);
    return one_entry(std::acos(k) - degrees_to_radians(c.value[0]));
}

// d acos(k) = -dk / sin, not taken near the clamp or a vanishing ray.
void angle_between_points_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const PointRef a = point_ref(s, c.index[0]);
    const PointRef b = point_ref(s, c.index[1]);
    const PointRef p = point_ref(s, c.index[2]);
    const Vec2 u = a.at - b.at;
    const Vec2 v = p.at - b.at;
    const double nu = u.norm();
    const double nv = v.norm();
    if (!(nu > kMinLength && nv > kMinLength)) return;
    const double quotient = u.dot(v) / (nv * nu);
    const double k = std::min(std::max(quotient, -1.0), 1.0);
    const double sine = std::sqrt(std::max(1.0 - k * k, 0.0));
    if (!(sine > kMinSine)) return;
    const Vec2 wrt_u = (v / (nu * nv) - u * (quotient / (nu * nu))) * (-1.0 / sine);
    const Vec2 wrt_v = (u / (nu * nv) - v * (quotient / (nv * nv))) * (-1.0 / sine);
    add_point(out, 0, a.index, wrt_u);
    add_point(out, 0, p.index, wrt_v);
    add_point(out, 0, b.index, -wrt_u - wrt_v);
}

// ---- Midpoint: M - (P1 + P2) / 2 ----------------------------------------------

ConstraintEntries midpoint_residual(const System& s, const Constraint& c) {
    const Vec2 m = point_ref(s, c.index[0]).at;
    const Vec2 p1 = point_ref(s, c.index[1]).at;
    const Vec2 p2 = point_ref(s, c.index[2]).at;
    return two_entries(m.x() - (p1.x() + p2.x()) * 0.5, m.y() - (p1.y() + p2.y()) * 0.5);
}

void midpoint_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    add_point_identity(out, c.index[0], 1.0);
    add_point_identity(out, c.index[1], -0.5);
    add_point_identity(out, c.index[2], -0.5);
}

// ---- Symmetry: p_out against the mirror image of p_in in the infinite line ---
// A line without length mirrors nothing: the image is the point itself.

ConstraintEntries symmetry_residual(const System& s, const Constraint& c) {
    const Vec2 out = point_ref(s, c.index[0]).at;
    const Vec2 in = point_ref(s, c.index[1]).at;
    const LineRef line = line_ref(s, c.index[2]);
    const Vec2 d = line.d;
    const Vec2 a = line.a.at;
    const double n = squared_norm(d);
    if (n < kMinSquaredLength) return two_entries(out.x() - in.x(), out.y() - in.y());
    const double t = ((in.y() - a.y()) * d.y() + (in.x() - a.x()) * d.x()) / n;
    const Vec2 foot(t * d.x() + a.x(), t * d.y() + a.y());
    const Vec2 image(foot.x() * 2.0 - in.x(), foot.y() * 2.0 - in.y());
    return two_entries(out.x() - image.x(), out.y() - image.y());
}

void symmetry_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const PointRef o = point_ref(s, c.index[0]);
    const PointRef i = point_ref(s, c.index[1]);
    const LineRef l = line_ref(s, c.index[2]);
    add_point_identity(out, o.index, 1.0);
    if (l.d.squaredNorm() < kMinSquaredLength) {
        add_point_identity(out, i.index, -1.0);
        return;
    }
    const Foot foot = foot_on_line(i.at, l);
    add_point_block(out, i.index, Mat2::Identity() - 2.0 * foot.wrt_point);
    add_point_block(out, l.a.index, -2.0 * foot.wrt_a);
    add_point_block(out, l.b.index, -2.0 * foot.wrt_b);
}

// ---- PointLineDistance: squared distance from the infinite line - d^2 --------

ConstraintEntries point_line_distance_residual(const System& s, const Constraint& c) {
    const Vec2 p = point_ref(s, c.index[0]).at;
    const LineRef line = line_ref(s, c.index[1]);
    const double target = c.value[0] * c.value[0];
    const double n = squared_norm(line.d);
    if (n < kMinSquaredLength) return one_entry(squared_norm(p - line.a.at) - target);
    const double k = cross(p - line.a.at, line.d);
    return one_entry(k * k / n - target);
}

void point_line_distance_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const PointRef p = point_ref(s, c.index[0]);
    const LineRef l = line_ref(s, c.index[1]);
    if (l.d.squaredNorm() < kMinSquaredLength) {
        const Vec2 to_point = p.at - l.a.at;
        add_point(out, 0, p.index, 2.0 * to_point);
        add_point(out, 0, l.a.index, -2.0 * to_point);
        return;
    }
    squared_line_distance_terms(out, p, l);
}

// ---- LineLineIntersection: P against the intersection of the infinite lines --
// For parallel or degenerate lines, the point's incidence with each line.

ConstraintEntries line_line_intersection_residual(const System& s, const Constraint& c) {
    const Vec2 p = point_ref(s, c.index[0]).at;
    const LineRef l1 = line_ref(s, c.index[1]);
    const LineRef l2 = line_ref(s, c.index[2]);
    const double den = cross(l1.d, l2.d);
    if (std::fabs(den) < kMinSquaredLength) {
        return two_entries(cross(p - l1.a.at, l1.d), cross(p - l2.a.at, l2.d));
    }
    const double t = cross(l2.a.at - l1.a.at, l2.d) / den;
    const Vec2 x(t * l1.d.x() + l1.a.at.x(), l1.d.y() * t + l1.a.at.y());
    return two_entries(p.x() - x.x(), p.y() - x.y());
}

// P - X with X = A1 + t*d1.
void line_line_intersection_partials(const System& s, const Constraint& c,
                                     ConstraintPartials& out) {
    const PointRef p = point_ref(s, c.index[0]);
    const LineRef l1 = line_ref(s, c.index[1]);
    const LineRef l2 = line_ref(s, c.index[2]);
    const double den = cross(l1.d, l2.d);
    if (std::abs(den) < kMinSquaredLength) {
        point_on_line_terms(out, 0, p, l1);
        point_on_line_terms(out, 1, p, l2);
        return;
    }
    const Vec2 g = l2.a.at - l1.a.at;
    const double t = cross(g, l2.d) / den;
    // The gradients of t with respect to the four endpoints A1, B1, A2, B2.
    const Vec2 t_wrt_a1 = perp(l2.d) * ((t - 1.0) / den);
    const Vec2 t_wrt_b1 = perp(l2.d) * (-t / den);
    const Vec2 t_wrt_a2 = (perp(l2.d) + perp(g) - t * perp(l1.d)) / den;
    const Vec2 t_wrt_b2 = (t * perp(l1.d) - perp(g)) / den;
    add_point_identity(out, p.index, 1.0);
    add_point_block(out, l1.a.index, -(l1.d * t_wrt_a1.transpose() + (1.0 - t) * Mat2::Identity()));
    add_point_block(out, l1.b.index, -(l1.d * t_wrt_b1.transpose() + t * Mat2::Identity()));
    add_point_block(out, l2.a.index, -(l1.d * t_wrt_a2.transpose()));
    add_point_block(out, l2.b.index, -(l1.d * t_wrt_b2.transpose()));
}

// ---- PointOnLineAt: P - (A + t (B - A)), t not limited to [0, 1] -------------

ConstraintEntries point_on_line_at_residual(const System& s, const Constraint& c) {
    const Vec2 p = point_ref(s, c.index[0]).at;
    const LineRef line = line_ref(s, c.index[1]);
    const Vec2 a = line.a.at;
    const Vec2 b = line.b.at;
    const double t = c.value[0];
    return two_entries(p.x() - ((b.x() - a.x()) * t + a.x()),
                       p.y() - ((b.y() - a.y()) * t + a.y()));
}

void point_on_line_at_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const LineRef l = line_ref(s, c.index[1]);
    const double t = c.value[0];
    add_point_identity(out, c.index[0], 1.0);
    for (unsigned entry = 0; entry < 2; ++entry) {
        const ParamKind kind = entry == 0 ? ParamKind::PointX : ParamKind::PointY;
        out.add(entry, {kind, l.a.index}, t - 1.0);
        out.add(entry, {kind, l.b.index}, -t);
    }
}

// ---- Geometric errors --------------------------------------------------------
// Lengths relative to the scale, angles in radians. A line without length has
// no direction, so it meets no angle: its angle error is a right angle.

constexpr double kNoDirection = kPi / 2.0;

double coincident_error(const System& s, const Constraint& c, double scale) {
    return norm(point_ref(s, c.index[0]).at - point_ref(s, c.index[1]).at) / scale;
}

double point_on_line_error(const System& s, const Constraint& c, double scale) {
    return distance_to_line(point_ref(s, c.index[0]).at, line_ref(s, c.index[1])) / scale;
}

// The unsigned angle between two lines, whatever their orientation, in [0, pi/2].
double line_angle(const Vec2& d1, const Vec2& d2) {
    return std::atan2(std::fabs(cross(d1, d2)), std::fabs(dot(d1, d2)));
}

bool has_no_direction(const Vec2& d) { return norm(d) < kMinLength; }

double parallel_error(const System& s, const Constraint& c, double) {
    const Vec2 d1 = line_ref(s, c.index[0]).d;
    const Vec2 d2 = line_ref(s, c.index[1]).d;
    if (has_no_direction(d1) || has_no_direction(d2)) return kNoDirection;
    return line_angle(d1, d2);
}

double perpendicular_error(const System& s, const Constraint& c, double) {
    const Vec2 d1 = line_ref(s, c.index[0]).d;
    const Vec2 d2 = line_ref(s, c.index[1]).d;
    if (has_no_direction(d1) || has_no_direction(d2)) return kNoDirection;
    return kPi / 2.0 - line_angle(d1, d2);
}

// Like the residual, blind to orientation: the angle between the directions,
// in [0, pi], against the target folded into [0, pi].
double angle_error(const System& s, const Constraint& c, double) {
    const Vec2 d1 = line_ref(s, c.index[0]).d;
    const Vec2 d2 = line_ref(s, c.index[1]).d;
    if (has_no_direction(d1) || has_no_direction(d2)) return kNoDirection;
    const double phi = degrees_to_radians(c.value[0]);
    const double target = std::atan2(std::fabs(std::sin(phi)), std::cos(phi));
    return std::fabs(angle_between(d1, d2) - target);
}

double fixed_point_error(const System& s, const Constraint& c, double scale) {
    return norm(point_ref(s, c.index[0]).at - Vec2(c.value[0], c.value[1])) / scale;
}

double angle_between_points_error(const System& s, const Constraint& c, double) {
    const Vec2 vertex = point_ref(s, c.index[1]).at;
    const Vec2 u = point_ref(s, c.index[0]).at - vertex;
    const Vec2 v = point_ref(s, c.index[2]).at - vertex;
    if (has_no_direction(u) || has_no_direction(v)) return kNoDirection;
    return std::fabs(angle_between(u, v) - degrees_to_radians(c.value[0]));
}

double two_entry_error(const ConstraintEntries& entries, double scale) {
    return norm(Vec2(entries.value[0], entries.value[1])) / scale;
}

double midpoint_error(const System& s, const Constraint& c, double scale) {
    return two_entry_error(midpoint_residual(s, c), scale);
}

double symmetry_error(const System& s, const Constraint& c, double scale) {
    return two_entry_error(symmetry_residual(s, c), scale);
}

double point_line_distance_error(const System& s, const Constraint& c, double scale) {
    const double distance = distance_to_line(point_ref(s, c.index[0]).at, line_ref(s, c.index[1]));
    return std::fabs(distance - std::fabs(c.value[0])) / scale;
}

// Parallel lines have no intersection: the point must then lie on both.
double line_line_intersection_error(const System& s, const Constraint& c, double scale) {
    const Vec2 p = point_ref(s, c.index[0]).at;
    const LineRef l1 = line_ref(s, c.index[1]);
    const LineRef l2 = line_ref(s, c.index[2]);
    if (std::fabs(cross(l1.d, l2.d)) < kMinSquaredLength) {
        return std::fmax(distance_to_line(p, l1), distance_to_line(p, l2)) / scale;
    }
    return two_entry_error(line_line_intersection_residual(s, c), scale);
}

double point_on_line_at_error(const System& s, const Constraint& c, double scale) {
    return two_entry_error(point_on_line_at_residual(s, c), scale);
}

// ---- Measures of the dimensions ---------------------------------------------
// What each dimension is in the current geometry; angles in degrees, as the
// constraints hold them.

double angle_in_degrees(const Vec2& u, const Vec2& v) {
    if (has_no_direction(u) || has_no_direction(v)) return std::nan("");
    return radians_to_degrees(angle_between(u, v));
}

// Blind to orientation, as the residual is: in [0, 180].
double angle_measure(const System& s, const Constraint& c) {
    return angle_in_degrees(line_ref(s, c.index[0]).d, line_ref(s, c.index[1]).d);
}

double angle_between_points_measure(const System& s, const Constraint& c) {
    const Vec2 vertex = point_ref(s, c.index[1]).at;
    return angle_in_degrees(point_ref(s, c.index[0]).at - vertex,
                            point_ref(s, c.index[2]).at - vertex);
}

// The distance from the infinite line (from A when the line has no length);
// a distance is never negative, so the measure is not either.
double point_line_distance_measure(const System& s, const Constraint& c) {
    return distance_to_line(point_ref(s, c.index[0]).at, line_ref(s, c.index[1]));
}

// The t of the point's foot on the line.
double point_on_line_at_measure(const System& s, const Constraint& c) {
    const LineRef line = line_ref(s, c.index[1]);
    const double n = squared_norm(line.d);
    if (n < kMinSquaredLength) return std::nan("");
    return dot(point_ref(s, c.index[0]).at - line.a.at, line.d) / n;
}

// ---- Derivatives with respect to the real fields ------------------------------
// What a bound field needs: d(entries)/d(value[slot]), the rest of its chain
// coming from the field's expression.

// Residuals of the form measure - value[0].
ConstraintEntries minus_one(const System&, const Constraint&, unsigned) { return one_entry(-1.0); }

ConstraintEntries angle_field_derivative(const System& s, const Constraint& c, unsigned) {
    if (norm(line_ref(s, c.index[0]).d) < kMinLength || norm(line_ref(s, c.index[1]).d) < kMinLength) {
        return one_entry(0.0);
    }
    return one_entry(std::sin(degrees_to_radians(c.value[0])) * kPi / 180.0);
}

ConstraintEntries fixed_point_field_derivative(const System&, const Constraint&, unsigned slot) {
    return slot == 0 ? two_entries(-1.0, 0.0) : two_entries(0.0, -1.0);
}

ConstraintEntries angle_between_points_field_derivative(const System& s, const Constraint& c,
                                                        unsigned) {
    const Vec2 vertex = point_ref(s, c.index[1]).at;
    const bool degenerate = norm(point_ref(s, c.index[0]).at - vertex) < kMinLength ||
                            norm(point_ref(s, c.index[2]).at - vertex) < kMinLength;
    return one_entry(degenerate ? 0.0 : -kPi / 180.0);
}

ConstraintEntries point_line_distance_field_derivative(const System&, const Constraint& c,
                                                       unsigned) {
    return one_entry(-2.0 * c.value[0]);
}

ConstraintEntries point_on_line_at_field_derivative(const System& s, const Constraint& c,
                                                    unsigned) {
    const LineRef line = line_ref(s, c.index[1]);
    return two_entries(-(line.b.at.x() - line.a.at.x()), -(line.b.at.y() - line.a.at.y()));
}

}  // namespace

const KindOperations distance_kind{distance_residual, distance_partials, length_error<distance_residual>, measured_from_residual<distance_residual>, minus_one};
const KindOperations horizontal_kind{horizontal_residual, horizontal_partials,
                                     length_error<horizontal_residual>};
const KindOperations vertical_kind{vertical_residual, vertical_partials,
                                   length_error<vertical_residual>};
const KindOperations coincident_kind{coincident_residual, coincident_partials, coincident_error};
const KindOperations point_on_line_kind{point_on_line_residual, point_on_line_partials,
                                        point_on_line_error};
const KindOperations parallel_kind{parallel_residual, parallel_partials, parallel_error};
const KindOperations perpendicular_kind{perpendicular_residual, perpendicular_partials,
                                        perpendicular_error};
const KindOperations angle_kind{angle_residual, angle_partials, angle_error, angle_measure, angle_field_derivative};
const KindOperations equal_length_kind{equal_length_residual, equal_length_partials,
                                       length_error<equal_length_residual>};
const KindOperations fixed_point_kind{fixed_point_residual, fixed_point_partials, fixed_point_error, nullptr, fixed_point_field_derivative};
const KindOperations angle_between_points_kind{angle_between_points_residual, angle_between_points_partials, angle_between_points_error, angle_between_points_measure, angle_between_points_field_derivative};
const KindOperations midpoint_kind{midpoint_residual, midpoint_partials, midpoint_error};
const KindOperations symmetry_kind{symmetry_residual, symmetry_partials, symmetry_error};
const KindOperations point_line_distance_kind{point_line_distance_residual, point_line_distance_partials, point_line_distance_error, point_line_distance_measure, point_line_distance_field_derivative};
const KindOperations line_line_intersection_kind{
    line_line_intersection_residual, line_line_intersection_partials, line_line_intersection_error};
const KindOperations point_on_line_at_kind{point_on_line_at_residual, point_on_line_at_partials, point_on_line_at_error, point_on_line_at_measure, point_on_line_at_field_derivative};

}  // namespace ovralis::kinds
