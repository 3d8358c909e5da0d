// Residuals of the kinds that involve circles and arcs: incidence, radii,
// concentricity, tangencies (all in squared form), sweep, length and the two
// centre distances.

#include <cmath>
#include <optional>
#include <string>

#include "residual/kind_residuals.hpp"
#include "system/errors.hpp"

namespace ovralis::residual_detail {
namespace {

// Centre and radius: all a tangency needs of a circle or an arc.
struct Round {
    Vec2 center;
    double radius;
};

Round circle_at(const System& s, Index index) {
    const Circle& c = s.circles[index];
    return {point_at(s, c.center), c.radius};
}

Round arc_round_at(const System& s, Index index) {
    const Arc& a = s.arcs[index];
    return {point_at(s, a.center), a.radius};
}

// The arc's radius vectors to its start and end points.
struct ArcRays {
    Vec2 to_start;
    Vec2 to_end;
};

ArcRays arc_rays_at(const System& s, Index index) {
    const Arc& a = s.arcs[index];
    const Vec2 center = point_at(s, a.center);
    return {point_at(s, a.start) - center, point_at(s, a.end) - center};
}

// Below this length a radius vector gives no direction.
constexpr double kMinLength = 1e-12;
// A line must be longer than this (squared) to be tangent to anything.
constexpr double kMinSquaredLength = 1e-24;

double external_tangency(Round r1, Round r2) {
    const double sum = r1.radius + r2.radius;
    return squared_norm(r1.center - r2.center) - sum * sum;
}

// Symmetric in the two figures: either may be the inner one.
double internal_tangency(Round r1, Round r2) {
    const double difference = r1.radius - r2.radius;
    return squared_norm(r1.center - r2.center) - difference * difference;
}

// Squared distance of the centre from the infinite line minus the squared radius.
double line_tangency(const System& s, Index line, Round round) {
    const Line& l = s.lines[line];
    const Vec2 a = point_at(s, l.p1);
    const Vec2 d = point_at(s, l.p2) - a;
    const double n = squared_norm(d);
    if (!(n > kMinSquaredLength)) return -(round.radius * round.radius);
    const double k = cross(round.center - a, d);
    return k * k / n - round.radius * round.radius;
}

// dot(dL, radius vector): zero when the line runs along the arc's tangent there.
double line_along_arc_tangent(const System& s, Index line, Vec2 radius_vector) {
    const Line& l = s.lines[line];
    return dot(point_at(s, l.p2) - point_at(s, l.p1), radius_vector);
}

// The sine and cosine of the turn from the arc's start ray to its end ray;
// nullopt when either ray is too short to give a direction.
struct Turn {
    double sine;
    double cosine;
};

std::optional<Turn> arc_turn(const System& s, Index arc) {
    const ArcRays rays = arc_rays_at(s, arc);
    const double to_start = norm(rays.to_start);
    const double to_end = norm(rays.to_end);
    if (!(to_start > kMinLength && to_end > kMinLength)) return std::nullopt;
    const double n = to_start * to_end;
    return Turn{cross(rays.to_start, rays.to_end) / n, dot(rays.to_start, rays.to_end) / n};
}

// The sine of (sweep - deg): zero at the requested sweep and at it plus pi.
ConstraintEntries arc_sweep_angle(const System& s, const Constraint& c) {
    const std::optional<Turn> turn = arc_turn(s, c.index[0]);
    if (!turn) return one_entry(0.0);
    const double phi = degrees_to_radians(c.value[0]);
    return one_entry(turn->sine * std::cos(phi) - turn->cosine * std::sin(phi));
}

// Counter-clockwise sweep from start to end, in [0, 2pi), times the arc's radius field.
ConstraintEntries arc_length(const System& s, const Constraint& c) {
    const std::optional<Turn> turn = arc_turn(s, c.index[0]);
    const double length = c.value[0];
    if (!turn) return one_entry(-length);
    const double theta = std::atan2(turn->sine, turn->cosine);
    const double sweep = theta < 0.0 ? theta + kTwoPi : theta;
    return one_entry(sweep * s.arcs[c.index[0]].radius - length);
}

ConstraintEntries centre_offset(Round r1, Round r2) {
    return two_entries(r1.center.x - r2.center.x, r1.center.y - r2.center.y);
}

}  // namespace

ConstraintEntries circle_arc_residual(const System& s, const Constraint& c) {
    using K = ConstraintKind;
    const auto& i = c.index;
    const auto& v = c.value;
    switch (c.kind) {
        case K::PointOnCircle: {
            const Round circle = circle_at(s, i[1]);
            return one_entry(norm(point_at(s, i[0]) - circle.center) - circle.radius);
        }
        case K::LineCircleTangent: return one_entry(line_tangency(s, i[0], circle_at(s, i[1])));
        case K::CircleCircleTangent:
            return one_entry(external_tangency(circle_at(s, i[0]), circle_at(s, i[1])));
        case K::CircleCircleTangentInternal:
            return one_entry(internal_tangency(circle_at(s, i[0]), circle_at(s, i[1])));
        case K::EqualRadius: return one_entry(s.circles[i[0]].radius - s.circles[i[1]].radius);
        case K::Concentric: return centre_offset(circle_at(s, i[0]), circle_at(s, i[1]));
        case K::CircleRadius: return one_entry(s.circles[i[0]].radius - v[0]);
        case K::PointOnArc: {
            const Round arc = arc_round_at(s, i[1]);
            return one_entry(norm(point_at(s, i[0]) - arc.center) - arc.radius);
        }
        case K::LineArcTangent: return one_entry(line_tangency(s, i[0], arc_round_at(s, i[1])));
        case K::ArcArcTangent:
            return one_entry(external_tangency(arc_round_at(s, i[0]), arc_round_at(s, i[1])));
        case K::ArcArcTangentInternal:
            return one_entry(internal_tangency(arc_round_at(s, i[0]), arc_round_at(s, i[1])));
        case K::ArcCircleTangent:
            return one_entry(external_tangency(arc_round_at(s, i[0]), circle_at(s, i[1])));
        case K::ArcCircleTangentInternal:
            return one_entry(internal_tangency(arc_round_at(s, i[0]), circle_at(s, i[1])));
        case K::ArcRadius: return one_entry(s.arcs[i[0]].radius - v[0]);
        case K::ArcSweepAngle: return arc_sweep_angle(s, c);
        case K::LineArcStartTangent:
            return one_entry(line_along_arc_tangent(s, i[0], arc_rays_at(s, i[1]).to_start));
        case K::LineArcEndTangent:
            return one_entry(line_along_arc_tangent(s, i[0], arc_rays_at(s, i[1]).to_end));
        case K::C2CDistance:
            return one_entry(norm(circle_at(s, i[0]).center - circle_at(s, i[1]).center) - v[0]);
        case K::P2CDistance: {
            const Round circle = circle_at(s, i[1]);
            return one_entry(norm(point_at(s, i[0]) - circle.center) - circle.radius - v[0]);
        }
        case K::ArcLength: return arc_length(s, c);
        default:
            throw InternalError("not a circle or arc constraint: " + std::string(kind_name(c)));
    }
}

}  // namespace ovralis::residual_detail
