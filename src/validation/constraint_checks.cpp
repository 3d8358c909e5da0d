// The sanity check of each checked constraint kind: measures the sketch as it
// stands and words the measurement for the verification report.
#include "validation/constraint_checks.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "residual/plane_geometry.hpp"
#include "system/number_text.hpp"

namespace ovralis {
namespace {

// Constraint fields are read by slot: index fields fill Constraint::index and
// real fields fill Constraint::value, each in the kind's declared field order.

// Absolute limit for positions, sines, cosines and relative errors.
constexpr double kLimit = 1e-4;
// A line whose squared length is at most this has no foot to reflect across.
constexpr double kMinReflectionSquaredLength = 1e-20;

Vec2 position(const System& system, Index point) { return position(system.points[point]); }

Vec2 first_point(const System& system, Index line) {
    return position(system, system.lines[line].p1);
}

Vec2 direction(const System& system, Index line) {
    const Line& l = system.lines[line];
    return position(system, l.p2) - position(system, l.p1);
}

// Relative above one, absolute below: lengths and radii in any unit.
double tol4(double target) { return std::max(std::abs(target), 1.0) * kLimit; }

// Into [0, 360); fmod keeps the sign of its first operand, hence the second pass.
double wrap_degrees(double angle) { return std::fmod(std::fmod(angle, 360.0) + 360.0, 360.0); }

std::string idx(Index index) { return std::to_string(index); }
std::string point_label(Index index) { return std::string("P").append(idx(index)); }
std::string fix2(double v) { return format_fixed(v, 2); }
std::string fix4(double v) { return format_fixed(v, 4); }
std::string fix6(double v) { return format_fixed(v, 6); }
std::string sci(double v) { return format_scientific(v); }

struct Outcome {
    bool passed;
    std::string detail;
};

// A measured error against a target length, the shape shared by the radius kinds.
Outcome size_outcome(const char* what, double actual, double target) {
    const double err = std::abs(actual - target);
    return {err < tol4(target), "actual " + std::string(what) + " = " + fix6(actual) +
                                    ", target = " + fix6(target) + ", err = " + sci(err)};
}

// Perpendicular distance from a point to a line, or nullopt for a line too short to say.
std::optional<double> distance_to_line(const System& system, Index point, Index line) {
    const Vec2 d = direction(system, line);
    const double len = hypot_norm(d);
    if (len <= kMinLength) return std::nullopt;
    return std::abs(cross(d, position(system, point) - first_point(system, line))) / len;
}

// |u × v| or |u · v| over the lengths; a line too short to have a direction passes as 0.
double normalised_product(const System& system, const Constraint& c, bool use_cross) {
    const Vec2 u = direction(system, c.index[0]);
    const Vec2 v = direction(system, c.index[1]);
    const double nu = hypot_norm(u);
    const double nv = hypot_norm(v);
    if (nu > kMinLength && nv > kMinLength) {
        return std::abs(use_cross ? cross(u, v) : dot(u, v)) / (nu * nv);
    }
    return 0.0;
}

Outcome distance(const System& system, const Constraint& c) {
    const Index p1 = c.index[0];
    const Index p2 = c.index[1];
    const double d = c.value[0];
    const double dist = hypot_norm(position(system, p2) - position(system, p1));
    const double err = std::abs(dist - d);
    const std::string points =
        std::string("|").append(point_label(p1)) + "-" + point_label(p2) + "| = " + fix6(dist);
    if (err < tol4(d)) return {true, points + " ≈ d = " + fix6(d)};
    return {false, points + " ≠ d = " + fix6(d) + " (err = " + sci(err) + ")"};
}

Outcome horizontal(const System& system, const Constraint& c) {
    const double dy = std::abs(position(system, c.index[1]).y() - position(system, c.index[0]).y());
    return {dy < kLimit, "dy = " + sci(dy)};
}

Outcome vertical(const System& system, const Constraint& c) {
    const double dx = std::abs(position(system, c.index[1]).x() - position(system, c.index[0]).x());
    return {dx < kLimit, "dx = " + sci(dx)};
}

Outcome coincident(const System& system, const Constraint& c) {
    const Vec2 p1 = position(system, c.index[0]);
    const Vec2 p2 = position(system, c.index[1]);
    const double dx = std::abs(p1.x() - p2.x());
    const double dy = std::abs(p1.y() - p2.y());
    return {dx < kLimit && dy < kLimit, "dx = " + sci(dx) + ", dy = " + sci(dy)};
}

std::optional<Outcome> point_on_line(const System& system, const Constraint& c) {
    const auto dist = distance_to_line(system, c.index[0], c.index[1]);
    if (!dist) return std::nullopt;
    return Outcome{*dist < kLimit, "perpendicular distance = " + sci(*dist)};
}

Outcome parallel(const System& system, const Constraint& c) {
    const double s = normalised_product(system, c, true);
    return {s < kLimit, "sin(angle) = " + sci(s)};
}

Outcome perpendicular(const System& system, const Constraint& c) {
    const double cosine = normalised_product(system, c, false);
    return {cosine < kLimit, "cos(angle) = " + sci(cosine)};
}

Outcome angle(const System& system, const Constraint& c) {
    const Vec2 u = direction(system, c.index[0]);
    const Vec2 v = direction(system, c.index[1]);
    const double actual = wrap_degrees(radians_to_degrees(std::atan2(cross(u, v), dot(u, v))));
    const double target = wrap_degrees(c.value[0]);
    const double err = line_angle_error(actual, target);
    const std::string angles = "actual angle = " + fix2(actual) + "°";
    if (err < 0.5) return {true, angles + " ≈ target = " + fix2(target) + "°"};
    return {false, angles + " ≠ target = " + fix2(target) + "° (err = " + fix2(err) + "°)"};
}

Outcome equal_length(const System& system, const Constraint& c) {
    const double len1 = hypot_norm(direction(system, c.index[0]));
    const double len2 = hypot_norm(direction(system, c.index[1]));
    const double rel = std::abs(len1 - len2) / std::max({len1, len2, 1e-10});
    return {rel < kLimit,
            "len1 = " + fix6(len1) + ", len2 = " + fix6(len2) + ", rel_err = " + sci(rel)};
}

Outcome fixed_point(const System& system, const Constraint& c) {
    const Vec2 p = position(system, c.index[0]);
    const double x = c.value[0];
    const double y = c.value[1];
    const bool passed = std::abs(p.x() - x) < kLimit && std::abs(p.y() - y) < kLimit;
    return {passed, point_label(c.index[0]) + " at (" + fix4(p.x()) + ", " + fix4(p.y()) + ") " +
                        (passed ? "≈" : "≠") + " (" + fix4(x) + ", " + fix4(y) + ")"};
}

Outcome point_on_circle(const System& system, const Constraint& c) {
    const Circle& circle = system.circles[c.index[1]];
    const double dist = hypot_norm(position(system, c.index[0]) - position(system, circle.center));
    const double r = circle.radius;
    const double err = std::abs(dist - r);
    return {err < tol4(r), "dist = " + fix6(dist) + ", r = " + fix6(r) + ", err = " + sci(err)};
}

// The signed angle at b from a to c, in (-180, 180]; compared without wrapping.
Outcome angle_between_points(const System& system, const Constraint& c) {
    const Vec2 b = position(system, c.index[1]);
    const Vec2 ba = position(system, c.index[0]) - b;
    const Vec2 bc = position(system, c.index[2]) - b;
    const double actual = radians_to_degrees(std::atan2(cross(ba, bc), dot(ba, bc)));
    const double target = c.value[0];
    const double err = std::abs(actual - target);
    return {err < 1.0, "actual = " + fix2(actual) + "°, target = " + fix2(target) +
                           "°, err = " + fix2(err) + "°"};
}

Outcome midpoint(const System& system, const Constraint& c) {
    const Vec2 m = position(system, c.index[0]);
    const Vec2 p1 = position(system, c.index[1]);
    const Vec2 p2 = position(system, c.index[2]);
    const double mx = (p1.x() + p2.x()) * 0.5;
    const double my = (p1.y() + p2.y()) * 0.5;
    const bool passed = std::abs(m.x() - mx) < kLimit && std::abs(m.y() - my) < kLimit;
    return {passed, "expected (" + fix4(mx) + ", " + fix4(my) + "), got (" + fix4(m.x()) + ", " +
                        fix4(m.y()) + ")"};
}

Outcome equal_radius(const System& system, const Constraint& c) {
    const double r1 = system.circles[c.index[0]].radius;
    const double r2 = system.circles[c.index[1]].radius;
    const double rel = std::abs(r1 - r2) / std::max({std::abs(r1), std::abs(r2), 1e-10});
    return {rel < kLimit, "r1 = " + fix6(r1) + ", r2 = " + fix6(r2) + ", rel_err = " + sci(rel)};
}

Outcome concentric(const System& system, const Constraint& c) {
    const Vec2 c1 = position(system, system.circles[c.index[0]].center);
    const Vec2 c2 = position(system, system.circles[c.index[1]].center);
    const double dx = std::abs(c1.x() - c2.x());
    const double dy = std::abs(c1.y() - c2.y());
    return {dx < kLimit && dy < kLimit, "center distance = (" + sci(dx) + ", " + sci(dy) + ")"};
}

// p_out must be the mirror image of p_in across the line.
std::optional<Outcome> symmetry(const System& system, const Constraint& c) {
    const Vec2 a = first_point(system, c.index[2]);
    const Vec2 d = direction(system, c.index[2]);
    const double dd = dot(d, d);
    if (dd <= kMinReflectionSquaredLength) return std::nullopt;
    const Vec2 p_in = position(system, c.index[1]);
    const Vec2 foot = a + (dot(p_in - a, d) / dd) * d;
    const Vec2 reflected = 2.0 * foot - p_in;
    const double err = hypot_norm(position(system, c.index[0]) - reflected);
    return Outcome{err < kLimit, "reflection err = " + sci(err)};
}

std::optional<Outcome> point_line_distance(const System& system, const Constraint& c) {
    const auto dist = distance_to_line(system, c.index[0], c.index[1]);
    if (!dist) return std::nullopt;
    const double d = c.value[0];
    const double err = std::abs(*dist - d);
    return Outcome{err < tol4(d), "actual dist = " + fix6(*dist) + ", target = " + fix6(d) +
                                      ", err = " + sci(err)};
}

Outcome point_on_line_at(const System& system, const Constraint& c) {
    const Vec2 a = first_point(system, c.index[1]);
    const Vec2 q = a + c.value[0] * direction(system, c.index[1]);
    const double err = hypot_norm(position(system, c.index[0]) - q);
    return {err < kLimit, "position err = " + sci(err)};
}

std::optional<VerificationCheck> named(const char* prefix, Index position,
                                       std::optional<Outcome> outcome) {
    if (!outcome) return std::nullopt;
    return VerificationCheck{std::string(prefix) + "[" + idx(position) + "]",
                             std::move(outcome->detail), outcome->passed};
}

}  // namespace

double line_angle_error(double actual, double target) {
    // Distance on the full turn first, in [0, 180]...
    double err = std::abs(std::fmod(actual - target, 360.0));
    err = std::min(err, 360.0 - err);
    // ...then half a turn apart is the same orientation of a line.
    return std::min(err, 180.0 - err);
}

std::optional<VerificationCheck> constraint_check(const System& system, const Constraint& c,
                                                  Index position) {
    using K = ConstraintKind;
    switch (c.kind) {
        case K::Distance: return named("distance_check", position, distance(system, c));
        case K::Horizontal: return named("horizontal_check", position, horizontal(system, c));
        case K::Vertical: return named("vertical_check", position, vertical(system, c));
        case K::Coincident: return named("coincident_check", position, coincident(system, c));
        case K::PointOnLine:
            return named("point_on_line_check", position, point_on_line(system, c));
        case K::Parallel: return named("parallel_check", position, parallel(system, c));
        case K::Perpendicular:
            return named("perpendicular_check", position, perpendicular(system, c));
        case K::Angle: return named("angle_check", position, angle(system, c));
        case K::EqualLength: return named("equal_length_check", position, equal_length(system, c));
        case K::FixedPoint: return named("fixed_point_check", position, fixed_point(system, c));
        case K::PointOnCircle:
            return named("point_on_circle_check", position, point_on_circle(system, c));
        case K::AngleBetweenPoints:
            return named("angle_between_points_check", position, angle_between_points(system, c));
        case K::Midpoint: return named("midpoint_check", position, midpoint(system, c));
        case K::EqualRadius: return named("equal_radius_check", position, equal_radius(system, c));
        case K::Concentric: return named("concentric_check", position, concentric(system, c));
        case K::Symmetry: return named("symmetry_check", position, symmetry(system, c));
        case K::PointLineDistance:
            return named("point_line_distance_check", position, point_line_distance(system, c));
        case K::CircleRadius:
            return named("circle_radius_check", position,
                         size_outcome("r", system.circles[c.index[0]].radius, c.value[0]));
        case K::PointOnLineAt:
            return named("point_on_line_at_check", position, point_on_line_at(system, c));
        case K::ArcRadius:
            return named("arc_radius_check", position,
                         size_outcome("r", system.arcs[c.index[0]].radius, c.value[0]));
        case K::EllipseRadmin:
            return named("ellipse_radmin_check", position,
                         size_outcome("radmin", system.ellipses[c.index[0]].radmin, c.value[0]));
        // Tangencies, intersections, the remaining arc and ellipse relations and
        // the circle distance kinds have no check of their own.
        case K::LineCircleTangent:
        case K::CircleCircleTangent:
        case K::CircleCircleTangentInternal:
        case K::LineLineIntersection:
        case K::PointOnArc:
        case K::LineArcTangent:
        case K::ArcArcTangent:
        case K::ArcArcTangentInternal:
        case K::ArcCircleTangent:
        case K::ArcCircleTangentInternal:
        case K::ArcSweepAngle:
        case K::LineArcStartTangent:
        case K::LineArcEndTangent:
        case K::PointOnEllipse:
        case K::EllipseTangentLine:
        case K::EqualMajorAxes:
        case K::EqualMinorAxes:
        case K::PointOnArcOfEllipse:
        case K::C2CDistance:
        case K::P2CDistance:
        case K::ArcLength:
        case K::EqualLineLength:
        case K::EllipseFocusDistance: return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace ovralis
