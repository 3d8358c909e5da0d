#include "jacobian/constraint_derivatives.hpp"

#include <algorithm>
#include <cmath>

#include <Eigen/Core>

#include "residual/kind_residuals.hpp"
#include "system/errors.hpp"

namespace ovralis {

void ConstraintPartials::add(unsigned entry, Parameter parameter, double value, bool constant) {
    if (count == kCapacity) throw InternalError("too many partial derivatives for one constraint");
    items[count++] = Partial{entry, parameter, value, constant};
}

namespace {

using Vec = Eigen::Vector2d;
using Mat = Eigen::Matrix2d;

// Angles convert exactly as the residuals convert them.
using residual_detail::degrees_to_radians;
using residual_detail::kTwoPi;

// Below these a length (or squared line length) is treated as zero and the
// terms that would divide by it are dropped.
constexpr double kMinLength = 1e-12;
constexpr double kMinSquaredLength = 1e-24;
// Below this sine the derivative of acos is not taken.
constexpr double kMinSine = 1e-10;

double cross(const Vec& u, const Vec& v) { return u.x() * v.y() - u.y() * v.x(); }

// cross(u, v) is linear in each argument: d/du = perp(v) and d/dv = -perp(u).
Vec perp(const Vec& v) { return {v.y(), -v.x()}; }

// Geometry read from the store, with the indices that name each parameter.
struct PointRef {
    Index index;
    Vec at;
};

struct LineRef {
    PointRef a;
    PointRef b;
    Vec d;  // b - a
};

// A circle or an arc seen as a centre and a radius.
struct RoundRef {
    PointRef center;
    double radius;
    Parameter radius_parameter;
};

struct ArcRef {
    PointRef center;
    PointRef start;
    PointRef end;
    RoundRef round;
};

// An ellipse or an arc of ellipse: only centre, focus and minor radius matter.
struct EllipseRef {
    PointRef center;
    PointRef focus;
    double radmin;
    Parameter radmin_parameter;
};

PointRef point_ref(const System& s, Index i) { return {i, Vec(s.points[i].x, s.points[i].y)}; }

LineRef line_ref(const System& s, Index i) {
    const PointRef a = point_ref(s, s.lines[i].p1);
    const PointRef b = point_ref(s, s.lines[i].p2);
    return {a, b, b.at - a.at};
}

RoundRef circle_ref(const System& s, Index i) {
    const Circle& c = s.circles[i];
    return {point_ref(s, c.center), c.radius, {ParamKind::CircleRadius, i}};
}

ArcRef arc_ref(const System& s, Index i) {
    const Arc& a = s.arcs[i];
    const PointRef center = point_ref(s, a.center);
    return {center, point_ref(s, a.start), point_ref(s, a.end),
            {center, a.radius, {ParamKind::ArcRadius, i}}};
}

EllipseRef ellipse_ref(const System& s, Index i) {
    const Ellipse& e = s.ellipses[i];
    return {point_ref(s, e.center), point_ref(s, e.focus1), e.radmin,
            {ParamKind::EllipseRadmin, i}};
}

EllipseRef arc_of_ellipse_ref(const System& s, Index i) {
    const ArcOfEllipse& e = s.arcs_of_ellipse[i];
    return {point_ref(s, e.center), point_ref(s, e.focus1), e.radmin,
            {ParamKind::ArcOfEllipseRadmin, i}};
}

// ---- Emitting ------------------------------------------------------------

void add_point(ConstraintPartials& out, unsigned entry, Index p, const Vec& gradient,
               bool constant = false) {
    out.add(entry, {ParamKind::PointX, p}, gradient.x(), constant);
    out.add(entry, {ParamKind::PointY, p}, gradient.y(), constant);
}

// For a two-entry residual (an x entry then a y entry): row i of `jacobian`
// holds entry i's derivatives with respect to the point's x and y.
void add_point_block(ConstraintPartials& out, Index p, const Mat& jacobian) {
    add_point(out, 0, p, jacobian.row(0).transpose());
    add_point(out, 1, p, jacobian.row(1).transpose());
}

// +-coefficient in the x entry for x and in the y entry for y.
void add_point_identity(ConstraintPartials& out, Index p, double coefficient) {
    out.add(0, {ParamKind::PointX, p}, coefficient, true);
    out.add(1, {ParamKind::PointY, p}, coefficient, true);
}

// ---- Shared terms -------------------------------------------------------

// scale * |P - Q|: +-scale * (P - Q) / |P - Q|, dropped for a vanishing length.
void distance_terms(ConstraintPartials& out, unsigned entry, const PointRef& p, const PointRef& q,
                    double scale) {
    const Vec difference = p.at - q.at;
    const double length = difference.norm();
    if (!(length > kMinLength)) return;
    const Vec gradient = difference * (scale / length);
    add_point(out, entry, p.index, gradient);
    add_point(out, entry, q.index, -gradient);
}

// scale * |d| of a line.
void line_length_terms(ConstraintPartials& out, const LineRef& l, double scale) {
    distance_terms(out, 0, l.b, l.a, scale);
}

// cross(Q - A, d). The residual is unchanged when Q, A and B move together, so
// A's gradient is minus the sum of the others (likewise below).
void point_on_line_terms(ConstraintPartials& out, unsigned entry, const PointRef& q,
                         const LineRef& l) {
    const Vec wrt_q = perp(l.d);
    const Vec wrt_b = -perp(q.at - l.a.at);
    add_point(out, entry, q.index, wrt_q);
    add_point(out, entry, l.b.index, wrt_b);
    add_point(out, entry, l.a.index, -wrt_q - wrt_b);
}

// cross(Q - A, d)^2 / |d|^2, the squared distance of Q from the infinite line.
// The caller has checked that |d|^2 is not vanishing.
void squared_line_distance_terms(ConstraintPartials& out, const PointRef& q, const LineRef& l) {
    const double n = l.d.squaredNorm();
    const double c = cross(q.at - l.a.at, l.d);
    const double k = 2.0 * c / n;
    const Vec wrt_q = perp(l.d) * k;
    const Vec wrt_b = -perp(q.at - l.a.at) * k - l.d * (2.0 * c * c / (n * n));
    add_point(out, 0, q.index, wrt_q);
    add_point(out, 0, l.b.index, wrt_b);
    add_point(out, 0, l.a.index, -wrt_q - wrt_b);
}

// |C1 - C2|^2 - (r1 + r2)^2, or (r1 - r2)^2 for the internal form.
void tangent_rounds_terms(ConstraintPartials& out, const RoundRef& first, const RoundRef& second,
                          bool internal) {
    const Vec difference = first.center.at - second.center.at;
    add_point(out, 0, first.center.index, 2.0 * difference);
    add_point(out, 0, second.center.index, -2.0 * difference);
    if (internal) {
        const double gap = first.radius - second.radius;
        out.add(0, first.radius_parameter, -2.0 * gap);
        out.add(0, second.radius_parameter, 2.0 * gap);
    } else {
        const double sum = first.radius + second.radius;
        out.add(0, first.radius_parameter, -2.0 * sum);
        out.add(0, second.radius_parameter, -2.0 * sum);
    }
}

// |P - C| - r (and, for P2CDistance, minus a constant).
void point_on_round_terms(ConstraintPartials& out, const PointRef& p, const RoundRef& round) {
    distance_terms(out, 0, p, round.center, 1.0);
    out.add(0, round.radius_parameter, -1.0, true);
}

// |C - F1|^2 + b^2 under a root gives the major radius a; scale * a.
void major_radius_terms(ConstraintPartials& out, const EllipseRef& e, double scale) {
    const Vec half_focal = e.center.at - e.focus.at;
    const double a = std::sqrt(half_focal.squaredNorm() + e.radmin * e.radmin);
    if (!(a > kMinLength)) return;
    add_point(out, 0, e.center.index, half_focal * (scale / a));
    add_point(out, 0, e.focus.index, half_focal * (-scale / a));
    out.add(0, e.radmin_parameter, scale * e.radmin / a);
}

// The second focus F2 = 2C - F1.
Vec second_focus(const EllipseRef& e) { return e.center.at * 2.0 - e.focus.at; }

// |P - F1| + |P - F2| - 2a: a point on the ellipse by its focal definition.
void point_on_ellipse_terms(ConstraintPartials& out, const PointRef& p, const EllipseRef& e) {
    distance_terms(out, 0, p, e.focus, 1.0);
    const Vec to_second = p.at - second_focus(e);
    const double length = to_second.norm();
    if (length > kMinLength) {
        const Vec unit = to_second / length;
        add_point(out, 0, p.index, unit);
        add_point(out, 0, e.center.index, -2.0 * unit);
        add_point(out, 0, e.focus.index, unit);
    }
    major_radius_terms(out, e, -2.0);
}

// The foot G = A + s*d of point Q on the infinite line, s = dot(Q - A, d) / |d|^2,
// with its Jacobians (rows: G.x, G.y) with respect to Q, A and B.
struct Foot {
    Vec at;
    Mat wrt_point;
    Mat wrt_a;
    Mat wrt_b;
};

Foot foot_on_line(const Vec& q, const LineRef& l) {
    const double n = l.d.squaredNorm();
    const Vec w = q - l.a.at;
    const double s = w.dot(l.d) / n;
    Foot foot;
    foot.at = l.d * s + l.a.at;
    foot.wrt_point = l.d * l.d.transpose() / n;
    foot.wrt_b = Mat::Identity() * s + l.d * (w - 2.0 * s * l.d).transpose() / n;
    foot.wrt_a = Mat::Identity() - foot.wrt_point - foot.wrt_b;
    return foot;
}

// The sine and cosine of the signed angle from u to v, and their gradients.
struct Turn {
    double sine;
    double cosine;
    Vec sine_wrt_u, sine_wrt_v, cosine_wrt_u, cosine_wrt_v;
};

Turn turn_between(const Vec& u, const Vec& v) {
    const double nu2 = u.squaredNorm();
    const double nv2 = v.squaredNorm();
    const double norms = std::sqrt(nu2) * std::sqrt(nv2);
    Turn turn;
    turn.sine = cross(u, v) / norms;
    turn.cosine = u.dot(v) / norms;
    turn.sine_wrt_u = perp(v) / norms - u * (turn.sine / nu2);
    turn.sine_wrt_v = -perp(u) / norms - v * (turn.sine / nv2);
    turn.cosine_wrt_u = v / norms - u * (turn.cosine / nu2);
    turn.cosine_wrt_v = u / norms - v * (turn.cosine / nv2);
    return turn;
}

// Both radius vectors of an arc must be longer than the guard for its angle to exist.
bool arc_has_angle(const ArcRef& arc) {
    return (arc.start.at - arc.center.at).norm() > kMinLength &&
           (arc.end.at - arc.center.at).norm() > kMinLength;
}

// Gradients with respect to u = S - Ca and v = E - Ca, spread over the three points.
void arc_angle_terms(ConstraintPartials& out, const ArcRef& arc, const Vec& wrt_u,
                     const Vec& wrt_v) {
    add_point(out, 0, arc.start.index, wrt_u);
    add_point(out, 0, arc.end.index, wrt_v);
    add_point(out, 0, arc.center.index, -wrt_u - wrt_v);
}

// ---- Kinds with several steps ------------------------------------------

void angle(ConstraintPartials& out, const LineRef& l1, const LineRef& l2) {
    const double n1 = l1.d.norm();
    const double n2 = l2.d.norm();
    if (!(n1 > kMinLength && n2 > kMinLength)) return;
    const double cosine = l1.d.dot(l2.d) / (n1 * n2);
    const Vec wrt_d1 = l2.d / (n1 * n2) - l1.d * (cosine / (n1 * n1));
    const Vec wrt_d2 = l1.d / (n1 * n2) - l2.d * (cosine / (n2 * n2));
    add_point(out, 0, l1.b.index, wrt_d1);
    add_point(out, 0, l1.a.index, -wrt_d1);
    add_point(out, 0, l2.b.index, wrt_d2);
    add_point(out, 0, l2.a.index, -wrt_d2);
}

// acos of the clamped cosine at vertex B: d acos(k) = -dk / sin, not taken near
// the clamp or a vanishing ray.
void angle_between_points(ConstraintPartials& out, const PointRef& a, const PointRef& b,
                          const PointRef& c) {
    const Vec u = a.at - b.at;
    const Vec v = c.at - b.at;
    const double nu = u.norm();
    const double nv = v.norm();
    if (!(nu > kMinLength && nv > kMinLength)) return;
    const double quotient = u.dot(v) / (nv * nu);
    const double k = std::min(std::max(quotient, -1.0), 1.0);
    const double sine = std::sqrt(std::max(1.0 - k * k, 0.0));
    if (!(sine > kMinSine)) return;
    const Vec wrt_u = (v / (nu * nv) - u * (quotient / (nu * nu))) * (-1.0 / sine);
    const Vec wrt_v = (u / (nu * nv) - v * (quotient / (nv * nv))) * (-1.0 / sine);
    add_point(out, 0, a.index, wrt_u);
    add_point(out, 0, c.index, wrt_v);
    add_point(out, 0, b.index, -wrt_u - wrt_v);
}

// O - R, R the mirror image 2G - I of I in the line; the identity when the line vanishes.
void symmetry(ConstraintPartials& out, const PointRef& o, const PointRef& i, const LineRef& l) {
    add_point_identity(out, o.index, 1.0);
    if (l.d.squaredNorm() < kMinSquaredLength) {
        add_point_identity(out, i.index, -1.0);
        return;
    }
    const Foot foot = foot_on_line(i.at, l);
    add_point_block(out, i.index, Mat::Identity() - 2.0 * foot.wrt_point);
    add_point_block(out, l.a.index, -2.0 * foot.wrt_a);
    add_point_block(out, l.b.index, -2.0 * foot.wrt_b);
}

// P - X, X = A1 + t*d1 the intersection of the infinite lines; for parallel
// lines the residual is the incidence of P on each line.
void line_line_intersection(ConstraintPartials& out, const PointRef& p, const LineRef& l1,
                            const LineRef& l2) {
    const double den = cross(l1.d, l2.d);
    if (std::abs(den) < kMinSquaredLength) {
        point_on_line_terms(out, 0, p, l1);
        point_on_line_terms(out, 1, p, l2);
        return;
    }
    const Vec g = l2.a.at - l1.a.at;
    const double t = cross(g, l2.d) / den;
    // The gradients of t with respect to the four endpoints A1, B1, A2, B2.
    const Vec t_wrt_a1 = perp(l2.d) * ((t - 1.0) / den);
    const Vec t_wrt_b1 = perp(l2.d) * (-t / den);
    const Vec t_wrt_a2 = (perp(l2.d) + perp(g) - t * perp(l1.d)) / den;
    const Vec t_wrt_b2 = (t * perp(l1.d) - perp(g)) / den;
    add_point_identity(out, p.index, 1.0);
    add_point_block(out, l1.a.index, -(l1.d * t_wrt_a1.transpose() + (1.0 - t) * Mat::Identity()));
    add_point_block(out, l1.b.index, -(l1.d * t_wrt_b1.transpose() + t * Mat::Identity()));
    add_point_block(out, l2.a.index, -(l1.d * t_wrt_a2.transpose()));
    add_point_block(out, l2.b.index, -(l1.d * t_wrt_b2.transpose()));
}

void arc_sweep_angle(ConstraintPartials& out, const ArcRef& arc, double degrees) {
    if (!arc_has_angle(arc)) return;
    const Turn turn = turn_between(arc.start.at - arc.center.at, arc.end.at - arc.center.at);
    const double phi = degrees_to_radians(degrees);
    const double cos_phi = std::cos(phi);
    const double sin_phi = std::sin(phi);
    arc_angle_terms(out, arc, turn.sine_wrt_u * cos_phi - turn.cosine_wrt_u * sin_phi,
                    turn.sine_wrt_v * cos_phi - turn.cosine_wrt_v * sin_phi);
}

// sweep * ra: d theta = c ds - s dc (since s^2 + c^2 = 1), and the radius
// derivative is the sweep wrapped into [0, 2 pi).
void arc_length(ConstraintPartials& out, const ArcRef& arc) {
    if (!arc_has_angle(arc)) return;
    const Turn turn = turn_between(arc.start.at - arc.center.at, arc.end.at - arc.center.at);
    const double ra = arc.round.radius;
    arc_angle_terms(out, arc,
                    (turn.sine_wrt_u * turn.cosine - turn.cosine_wrt_u * turn.sine) * ra,
                    (turn.sine_wrt_v * turn.cosine - turn.cosine_wrt_v * turn.sine) * ra);
    const double theta = std::atan2(turn.sine, turn.cosine);
    out.add(0, arc.round.radius_parameter, theta < 0.0 ? theta + kTwoPi : theta);
}

// dot(dL, X - Ca) for the arc's start or end point X.
void line_arc_endpoint_tangent(ConstraintPartials& out, const LineRef& l, const PointRef& x,
                          const PointRef& center) {
    const Vec radius_vector = x.at - center.at;
    add_point(out, 0, l.b.index, radius_vector);
    add_point(out, 0, l.a.index, -radius_vector);
    add_point(out, 0, x.index, l.d);
    add_point(out, 0, center.index, -l.d);
}

// |F1' - F2| - 2a with F1' the mirror image of F1 in the line, computed as the
// length of D = 2G - F1 - F2 where F2 = 2C - F1, so dD/dF1 = 2 dG/dF1.
void ellipse_tangent_line(ConstraintPartials& out, const LineRef& l, const EllipseRef& e) {
    if (!(l.d.squaredNorm() > kMinSquaredLength)) return;
    const Foot foot = foot_on_line(e.focus.at, l);
    const Vec d = foot.at + foot.at - e.focus.at - second_focus(e);
    const double length = d.norm();
    if (!(length > kMinLength)) return;
    const Vec unit = d / length;
    add_point(out, 0, e.focus.index, 2.0 * foot.wrt_point.transpose() * unit);
    add_point(out, 0, l.a.index, 2.0 * foot.wrt_a.transpose() * unit);
    add_point(out, 0, l.b.index, 2.0 * foot.wrt_b.transpose() * unit);
    add_point(out, 0, e.center.index, -2.0 * unit);
    major_radius_terms(out, e, -2.0);
}

void line_round_tangent(ConstraintPartials& out, const LineRef& l, const RoundRef& round) {
    // A vanishing line leaves the residual at -r^2, whose radius term is not taken either.
    if (!(l.d.squaredNorm() > kMinSquaredLength)) return;
    squared_line_distance_terms(out, round.center, l);
    out.add(0, round.radius_parameter, -2.0 * round.radius);
}

void point_line_distance(ConstraintPartials& out, const PointRef& p, const LineRef& l) {
    if (l.d.squaredNorm() < kMinSquaredLength) {
        const Vec to_point = p.at - l.a.at;
        add_point(out, 0, p.index, 2.0 * to_point);
        add_point(out, 0, l.a.index, -2.0 * to_point);
        return;
    }
    squared_line_distance_terms(out, p, l);
}

void point_on_line_at(ConstraintPartials& out, const PointRef& p, const LineRef& l, double t) {
    add_point_identity(out, p.index, 1.0);
    for (unsigned entry = 0; entry < 2; ++entry) {
        const ParamKind kind = entry == 0 ? ParamKind::PointX : ParamKind::PointY;
        out.add(entry, {kind, l.a.index}, t - 1.0);
        out.add(entry, {kind, l.b.index}, -t);
    }
}

void midpoint(ConstraintPartials& out, Index m, Index p1, Index p2) {
    add_point_identity(out, m, 1.0);
    add_point_identity(out, p1, -0.5);
    add_point_identity(out, p2, -0.5);
}

// First minus second, for two parameters of the same kind.
void parameter_difference(ConstraintPartials& out, unsigned entry, Parameter first,
                          Parameter second) {
    out.add(entry, first, 1.0, true);
    out.add(entry, second, -1.0, true);
}

// P1 - P2, x entry then y entry.
void coincidence(ConstraintPartials& out, Index p1, Index p2) {
    parameter_difference(out, 0, {ParamKind::PointX, p1}, {ParamKind::PointX, p2});
    parameter_difference(out, 1, {ParamKind::PointY, p1}, {ParamKind::PointY, p2});
}

}  // namespace

void differentiate(const System& s, const Constraint& c, ConstraintPartials& out) {
    out.count = 0;
    const auto& i = c.index;
    const auto& v = c.value;
    using K = ConstraintKind;
    switch (c.kind) {
        case K::Distance:
            distance_terms(out, 0, point_ref(s, i[0]), point_ref(s, i[1]), 1.0);
            return;
        case K::Horizontal:
            parameter_difference(out, 0, {ParamKind::PointY, i[0]}, {ParamKind::PointY, i[1]});
            return;
        case K::Vertical:
            parameter_difference(out, 0, {ParamKind::PointX, i[0]}, {ParamKind::PointX, i[1]});
            return;
        case K::Coincident: coincidence(out, i[0], i[1]); return;
        case K::PointOnLine:
            point_on_line_terms(out, 0, point_ref(s, i[0]), line_ref(s, i[1]));
            return;
        case K::Parallel: {
            const LineRef l1 = line_ref(s, i[0]);
            const LineRef l2 = line_ref(s, i[1]);
            add_point(out, 0, l1.b.index, perp(l2.d));
            add_point(out, 0, l1.a.index, -perp(l2.d));
            add_point(out, 0, l2.b.index, -perp(l1.d));
            add_point(out, 0, l2.a.index, perp(l1.d));
            return;
        }
        case K::Perpendicular: {
            const LineRef l1 = line_ref(s, i[0]);
            const LineRef l2 = line_ref(s, i[1]);
            add_point(out, 0, l1.b.index, l2.d);
            add_point(out, 0, l1.a.index, -l2.d);
            add_point(out, 0, l2.b.index, l1.d);
            add_point(out, 0, l2.a.index, -l1.d);
            return;
        }
        case K::Angle: angle(out, line_ref(s, i[0]), line_ref(s, i[1])); return;
        case K::EqualLength:
        case K::EqualLineLength:
            line_length_terms(out, line_ref(s, i[0]), 1.0);
            line_length_terms(out, line_ref(s, i[1]), -1.0);
            return;
        case K::FixedPoint: add_point_identity(out, i[0], 1.0); return;
        case K::PointOnCircle:
            point_on_round_terms(out, point_ref(s, i[0]), circle_ref(s, i[1]));
            return;
        case K::LineCircleTangent:
            line_round_tangent(out, line_ref(s, i[0]), circle_ref(s, i[1]));
            return;
        case K::CircleCircleTangent:
            tangent_rounds_terms(out, circle_ref(s, i[0]), circle_ref(s, i[1]), false);
            return;
        case K::CircleCircleTangentInternal:
            tangent_rounds_terms(out, circle_ref(s, i[0]), circle_ref(s, i[1]), true);
            return;
        case K::AngleBetweenPoints:
            angle_between_points(out, point_ref(s, i[0]), point_ref(s, i[1]), point_ref(s, i[2]));
            return;
        case K::Midpoint: midpoint(out, i[0], i[1], i[2]); return;
        case K::EqualRadius:
            parameter_difference(out, 0, {ParamKind::CircleRadius, i[0]},
                                 {ParamKind::CircleRadius, i[1]});
            return;
        case K::Concentric:
            coincidence(out, s.circles[i[0]].center, s.circles[i[1]].center);
            return;
        case K::Symmetry:
            symmetry(out, point_ref(s, i[0]), point_ref(s, i[1]), line_ref(s, i[2]));
            return;
        case K::PointLineDistance:
            point_line_distance(out, point_ref(s, i[0]), line_ref(s, i[1]));
            return;
        case K::LineLineIntersection:
            line_line_intersection(out, point_ref(s, i[0]), line_ref(s, i[1]), line_ref(s, i[2]));
            return;
        case K::CircleRadius: out.add(0, {ParamKind::CircleRadius, i[0]}, 1.0, true); return;
        case K::PointOnLineAt:
            point_on_line_at(out, point_ref(s, i[0]), line_ref(s, i[1]), v[0]);
            return;
        case K::PointOnArc:
            point_on_round_terms(out, point_ref(s, i[0]), arc_ref(s, i[1]).round);
            return;
        case K::LineArcTangent:
            line_round_tangent(out, line_ref(s, i[0]), arc_ref(s, i[1]).round);
            return;
        case K::ArcArcTangent:
            tangent_rounds_terms(out, arc_ref(s, i[0]).round, arc_ref(s, i[1]).round, false);
            return;
        case K::ArcArcTangentInternal:
            tangent_rounds_terms(out, arc_ref(s, i[0]).round, arc_ref(s, i[1]).round, true);
            return;
        case K::ArcCircleTangent:
            tangent_rounds_terms(out, arc_ref(s, i[0]).round, circle_ref(s, i[1]), false);
            return;
        case K::ArcCircleTangentInternal:
            tangent_rounds_terms(out, arc_ref(s, i[0]).round, circle_ref(s, i[1]), true);
            return;
        case K::ArcRadius: out.add(0, {ParamKind::ArcRadius, i[0]}, 1.0, true); return;
        case K::ArcSweepAngle: arc_sweep_angle(out, arc_ref(s, i[0]), v[0]); return;
        case K::LineArcStartTangent: {
            const ArcRef arc = arc_ref(s, i[1]);
            line_arc_endpoint_tangent(out, line_ref(s, i[0]), arc.start, arc.center);
            return;
        }
        case K::LineArcEndTangent: {
            const ArcRef arc = arc_ref(s, i[1]);
            line_arc_endpoint_tangent(out, line_ref(s, i[0]), arc.end, arc.center);
            return;
        }
        case K::PointOnEllipse:
            point_on_ellipse_terms(out, point_ref(s, i[0]), ellipse_ref(s, i[1]));
            return;
        case K::EllipseTangentLine:
            ellipse_tangent_line(out, line_ref(s, i[0]), ellipse_ref(s, i[1]));
            return;
        case K::EqualMajorAxes:
            major_radius_terms(out, ellipse_ref(s, i[0]), 1.0);
            major_radius_terms(out, ellipse_ref(s, i[1]), -1.0);
            return;
        case K::EqualMinorAxes:
            parameter_difference(out, 0, {ParamKind::EllipseRadmin, i[0]},
                                 {ParamKind::EllipseRadmin, i[1]});
            return;
        case K::PointOnArcOfEllipse:
            point_on_ellipse_terms(out, point_ref(s, i[0]), arc_of_ellipse_ref(s, i[1]));
            return;
        case K::EllipseRadmin: out.add(0, {ParamKind::EllipseRadmin, i[0]}, 1.0, true); return;
        case K::C2CDistance:
            distance_terms(out, 0, circle_ref(s, i[0]).center, circle_ref(s, i[1]).center, 1.0);
            return;
        case K::P2CDistance:
            point_on_round_terms(out, point_ref(s, i[0]), circle_ref(s, i[1]));
            return;
        case K::ArcLength: arc_length(out, arc_ref(s, i[0])); return;
        case K::EllipseFocusDistance: {
            const EllipseRef e = ellipse_ref(s, i[0]);
            distance_terms(out, 0, e.center, e.focus, 2.0);
            return;
        }
    }
    throw InternalError("unknown constraint kind");
}

}  // namespace ovralis
