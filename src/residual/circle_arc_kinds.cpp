// The kinds that involve circles and arcs: incidence, radii, concentricity,
// tangencies (all in squared form), sweep, length and the two centre
// distances; each kind's residual and its derivative, side by side.

#include "residual/circle_arc_kinds.hpp"

#include <cmath>
#include <optional>

#include "residual/kind_support.hpp"

namespace ovralis::kinds {
namespace {

// Centre and radius: all a tangency needs of a circle or an arc.
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

RoundRef circle_ref(const System& s, Index i) {
    const Circle& c = s.circles[i];
    return {point_ref(s, c.center), c.radius, {ParamKind::CircleRadius, i}};
}

ArcRef arc_ref(const System& s, Index i) {
    const Arc& a = s.arcs[i];
    const PointRef center = point_ref(s, a.center);
    return {center,
            point_ref(s, a.start),
            point_ref(s, a.end),
            {center, a.radius, {ParamKind::ArcRadius, i}}};
}

RoundRef arc_round_ref(const System& s, Index i) { return arc_ref(s, i).round; }

// ---- Point on a circle or an arc: |P - C| - r ---------------------------------

ConstraintEntries point_on_round(const PointRef& p, const RoundRef& round) {
    return one_entry(norm(p.at - round.center.at) - round.radius);
}

// Also P2CDistance, whose residual differs by a constant.
void point_on_round_terms(ConstraintPartials& out, const PointRef& p, const RoundRef& round) {
    distance_terms(out, 0, p, round.center, 1.0);
    out.add(0, round.radius_parameter, -1.0, true);
}

ConstraintEntries point_on_circle_residual(const System& s, const Constraint& c) {
    return point_on_round(point_ref(s, c.index[0]), circle_ref(s, c.index[1]));
}

void point_on_circle_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    point_on_round_terms(out, point_ref(s, c.index[0]), circle_ref(s, c.index[1]));
}

ConstraintEntries point_on_arc_residual(const System& s, const Constraint& c) {
    return point_on_round(point_ref(s, c.index[0]), arc_round_ref(s, c.index[1]));
}

void point_on_arc_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    point_on_round_terms(out, point_ref(s, c.index[0]), arc_round_ref(s, c.index[1]));
}

// ---- Line tangent to a circle or an arc ----------------------------------------
// Squared distance of the centre from the infinite line minus the squared radius.

ConstraintEntries line_tangency(const LineRef& l, const RoundRef& round) {
    const double n = squared_norm(l.d);
    if (!(n > kMinSquaredLength)) return one_entry(-(round.radius * round.radius));
    const double k = cross(round.center.at - l.a.at, l.d);
    return one_entry(k * k / n - round.radius * round.radius);
}

void line_tangency_terms(ConstraintPartials& out, const LineRef& l, const RoundRef& round) {
    // A vanishing line leaves the residual at -r^2, whose radius term is not taken either.
    if (!(l.d.squaredNorm() > kMinSquaredLength)) return;
    squared_line_distance_terms(out, round.center, l);
    out.add(0, round.radius_parameter, -2.0 * round.radius);
}

ConstraintEntries line_circle_tangent_residual(const System& s, const Constraint& c) {
    return line_tangency(line_ref(s, c.index[0]), circle_ref(s, c.index[1]));
}

void line_circle_tangent_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    line_tangency_terms(out, line_ref(s, c.index[0]), circle_ref(s, c.index[1]));
}

ConstraintEntries line_arc_tangent_residual(const System& s, const Constraint& c) {
    return line_tangency(line_ref(s, c.index[0]), arc_round_ref(s, c.index[1]));
}

void line_arc_tangent_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    line_tangency_terms(out, line_ref(s, c.index[0]), arc_round_ref(s, c.index[1]));
}

// ---- Two rounds tangent: |C1 - C2|^2 - (r1 + r2)^2, internally (r1 - r2)^2 ------
// The internal form is symmetric: either figure may be the inner one.

ConstraintEntries rounds_tangency(const RoundRef& r1, const RoundRef& r2, bool internal) {
    const double radii = internal ? r1.radius - r2.radius : r1.radius + r2.radius;
    return one_entry(squared_norm(r1.center.at - r2.center.at) - radii * radii);
}

void rounds_tangency_terms(ConstraintPartials& out, const RoundRef& first, const RoundRef& second,
                           bool internal) {
    const Vec2 difference = first.center.at - second.center.at;
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

double rounds_tangency_error(const RoundRef& r1, const RoundRef& r2, bool internal, double scale) {
    const double radii = internal ? r1.radius - r2.radius : r1.radius + r2.radius;
    return std::fabs(norm(r1.center.at - r2.center.at) - std::fabs(radii)) / scale;
}

// Each tangency kind: which figures it names (circle or arc, in field order)
// and whether it is internal.
template <RoundRef (*First)(const System&, Index), RoundRef (*Second)(const System&, Index),
          bool kInternal>
struct RoundsTangency {
    static ConstraintEntries residual(const System& s, const Constraint& c) {
        return rounds_tangency(First(s, c.index[0]), Second(s, c.index[1]), kInternal);
    }
    static void partials(const System& s, const Constraint& c, ConstraintPartials& out) {
        rounds_tangency_terms(out, First(s, c.index[0]), Second(s, c.index[1]), kInternal);
    }
    static double error(const System& s, const Constraint& c, double scale) {
        return rounds_tangency_error(First(s, c.index[0]), Second(s, c.index[1]), kInternal, scale);
    }
};

using CircleCircleTangency = RoundsTangency<circle_ref, circle_ref, false>;
using CircleCircleInternalTangency = RoundsTangency<circle_ref, circle_ref, true>;
using ArcArcTangency = RoundsTangency<arc_round_ref, arc_round_ref, false>;
using ArcArcInternalTangency = RoundsTangency<arc_round_ref, arc_round_ref, true>;
using ArcCircleTangency = RoundsTangency<arc_round_ref, circle_ref, false>;
using ArcCircleInternalTangency = RoundsTangency<arc_round_ref, circle_ref, true>;

// ---- Radii: EqualRadius r1 - r2; CircleRadius and ArcRadius radius - r ------------

ConstraintEntries equal_radius_residual(const System& s, const Constraint& c) {
    return one_entry(s.circles[c.index[0]].radius - s.circles[c.index[1]].radius);
}

void equal_radius_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    parameter_difference(out, 0, {ParamKind::CircleRadius, c.index[0]},
                         {ParamKind::CircleRadius, c.index[1]});
}

ConstraintEntries circle_radius_residual(const System& s, const Constraint& c) {
    return one_entry(s.circles[c.index[0]].radius - c.value[0]);
}

void circle_radius_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    out.add(0, {ParamKind::CircleRadius, c.index[0]}, 1.0, true);
}

ConstraintEntries arc_radius_residual(const System& s, const Constraint& c) {
    return one_entry(s.arcs[c.index[0]].radius - c.value[0]);
}

void arc_radius_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    out.add(0, {ParamKind::ArcRadius, c.index[0]}, 1.0, true);
}

// ---- Concentric: C1 - C2 ---------------------------------------------------------

ConstraintEntries concentric_residual(const System& s, const Constraint& c) {
    const Vec2 c1 = circle_ref(s, c.index[0]).center.at;
    const Vec2 c2 = circle_ref(s, c.index[1]).center.at;
    return two_entries(c1.x() - c2.x(), c1.y() - c2.y());
}

void concentric_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    coincidence(out, s.circles[c.index[0]].center, s.circles[c.index[1]].center);
}

// ---- The arc's turn from its start ray to its end ray ------------------------------

std::optional<Turn> arc_turn(const ArcRef& arc) {
    return turn_between(arc.start.at - arc.center.at, arc.end.at - arc.center.at);
}

// Gradients with respect to u = S - Ca and v = E - Ca, spread over the three points.
void arc_angle_terms(ConstraintPartials& out, const ArcRef& arc, const Vec2& wrt_u,
                     const Vec2& wrt_v) {
    add_point(out, 0, arc.start.index, wrt_u);
    add_point(out, 0, arc.end.index, wrt_v);
    add_point(out, 0, arc.center.index, -wrt_u - wrt_v);
}

// Counter-clockwise, in [0, 2 pi).
double wrapped_sweep(const Turn& turn) {
    const double theta = std::atan2(turn.sine, turn.cosine);
    return theta < 0.0 ? theta + kTwoPi : theta;
}

// ---- ArcSweepAngle: the sine of (sweep - deg), zero at deg and at deg + pi ----------

ConstraintEntries arc_sweep_angle_residual(const System& s, const Constraint& c) {
    const std::optional<Turn> turn = arc_turn(arc_ref(s, c.index[0]));
    if (!turn) return one_entry(0.0);
    const double phi = degrees_to_radians(c.value[0]);
    return one_entry(turn->sine * std::cos(phi) - turn->cosine * std::sin(phi));
}

void arc_sweep_angle_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const ArcRef arc = arc_ref(s, c.index[0]);
    const std::optional<Turn> turn = arc_turn(arc);
    if (!turn) return;
    const double phi = degrees_to_radians(c.value[0]);
    const double cos_phi = std::cos(phi);
    const double sin_phi = std::sin(phi);
    arc_angle_terms(out, arc, turn->sine_wrt_u * cos_phi - turn->cosine_wrt_u * sin_phi,
                    turn->sine_wrt_v * cos_phi - turn->cosine_wrt_v * sin_phi);
}

// ---- ArcLength: the wrapped sweep times the arc's radius field, - len ---------------

ConstraintEntries arc_length_residual(const System& s, const Constraint& c) {
    const ArcRef arc = arc_ref(s, c.index[0]);
    const std::optional<Turn> turn = arc_turn(arc);
    const double length = c.value[0];
    if (!turn) return one_entry(-length);
    return one_entry(wrapped_sweep(*turn) * arc.round.radius - length);
}

// d theta = c ds - s dc (since s^2 + c^2 = 1); the radius derivative is the sweep.
void arc_length_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const ArcRef arc = arc_ref(s, c.index[0]);
    const std::optional<Turn> turn = arc_turn(arc);
    if (!turn) return;
    const double ra = arc.round.radius;
    arc_angle_terms(out, arc,
                    (turn->sine_wrt_u * turn->cosine - turn->cosine_wrt_u * turn->sine) * ra,
                    (turn->sine_wrt_v * turn->cosine - turn->cosine_wrt_v * turn->sine) * ra);
    out.add(0, arc.round.radius_parameter, wrapped_sweep(*turn));
}

// ---- Line along the arc's tangent at its start or end: dot(dL, X - Ca) --------------

void line_arc_endpoint_terms(ConstraintPartials& out, const LineRef& l, const PointRef& x,
                             const PointRef& center) {
    const Vec2 radius_vector = x.at - center.at;
    add_point(out, 0, l.b.index, radius_vector);
    add_point(out, 0, l.a.index, -radius_vector);
    add_point(out, 0, x.index, l.d);
    add_point(out, 0, center.index, -l.d);
}

ConstraintEntries line_arc_start_tangent_residual(const System& s, const Constraint& c) {
    const ArcRef arc = arc_ref(s, c.index[1]);
    return one_entry(dot(line_ref(s, c.index[0]).d, arc.start.at - arc.center.at));
}

void line_arc_start_tangent_partials(const System& s, const Constraint& c,
                                     ConstraintPartials& out) {
    const ArcRef arc = arc_ref(s, c.index[1]);
    line_arc_endpoint_terms(out, line_ref(s, c.index[0]), arc.start, arc.center);
}

ConstraintEntries line_arc_end_tangent_residual(const System& s, const Constraint& c) {
    const ArcRef arc = arc_ref(s, c.index[1]);
    return one_entry(dot(line_ref(s, c.index[0]).d, arc.end.at - arc.center.at));
}

void line_arc_end_tangent_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const ArcRef arc = arc_ref(s, c.index[1]);
    line_arc_endpoint_terms(out, line_ref(s, c.index[0]), arc.end, arc.center);
}

// ---- Centre distances: C2CDistance |C1 - C2| - d; P2CDistance |P - C| - r - d -------

ConstraintEntries c2c_distance_residual(const System& s, const Constraint& c) {
    return one_entry(
        norm(circle_ref(s, c.index[0]).center.at - circle_ref(s, c.index[1]).center.at) -
        c.value[0]);
}

void c2c_distance_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    distance_terms(out, 0, circle_ref(s, c.index[0]).center, circle_ref(s, c.index[1]).center, 1.0);
}

ConstraintEntries p2c_distance_residual(const System& s, const Constraint& c) {
    const RoundRef circle = circle_ref(s, c.index[1]);
    return one_entry(norm(point_ref(s, c.index[0]).at - circle.center.at) - circle.radius -
                     c.value[0]);
}

void p2c_distance_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    point_on_round_terms(out, point_ref(s, c.index[0]), circle_ref(s, c.index[1]));
}

// ---- Geometric errors --------------------------------------------------------
// Lengths relative to the scale, angles in radians. Tangencies are the gap
// between the centre distance and what the radii ask for.

// A line without length touches only a round of no radius, as the residual says.
double line_tangency_error(const LineRef& l, const RoundRef& round, double scale) {
    if (!(squared_norm(l.d) > kMinSquaredLength)) return std::fabs(round.radius) / scale;
    return std::fabs(distance_to_line(round.center.at, l) - std::fabs(round.radius)) / scale;
}

double line_circle_tangent_error(const System& s, const Constraint& c, double scale) {
    return line_tangency_error(line_ref(s, c.index[0]), circle_ref(s, c.index[1]), scale);
}

double line_arc_tangent_error(const System& s, const Constraint& c, double scale) {
    return line_tangency_error(line_ref(s, c.index[0]), arc_round_ref(s, c.index[1]), scale);
}

double concentric_error(const System& s, const Constraint& c, double scale) {
    return norm(circle_ref(s, c.index[0]).center.at - circle_ref(s, c.index[1]).center.at) / scale;
}

// An arc end that sits on the centre has no direction, so no sweep.
constexpr double kNoDirection = kPi / 2.0;

// The turn's guard reads a NaN ray as too short; an error must show the NaN.
bool has_nan_ray(const ArcRef& arc) {
    return std::isnan(squared_norm(arc.start.at - arc.center.at) +
                      squared_norm(arc.end.at - arc.center.at));
}

// Like the residual, the sweep is met modulo pi.
double arc_sweep_angle_error(const System& s, const Constraint& c, double) {
    const ArcRef arc = arc_ref(s, c.index[0]);
    if (has_nan_ray(arc)) return std::nan("");
    const std::optional<Turn> turn = arc_turn(arc);
    if (!turn) return kNoDirection;
    const double theta = std::atan2(turn->sine, turn->cosine);
    return std::fabs(std::remainder(theta - degrees_to_radians(c.value[0]), kPi));
}

double arc_length_error(const System& s, const Constraint& c, double scale) {
    if (has_nan_ray(arc_ref(s, c.index[0]))) return std::nan("");
    return std::fabs(arc_length_residual(s, c).value[0]) / scale;
}

// The angle between the line and the arc's tangent at X: the line must be
// perpendicular to the radius there.
double line_along_tangent_error(const LineRef& l, const Vec2& radius_vector) {
    if (norm(l.d) < kMinLength || norm(radius_vector) < kMinLength) return kNoDirection;
    return std::atan2(std::fabs(dot(l.d, radius_vector)), std::fabs(cross(l.d, radius_vector)));
}

double line_arc_start_tangent_error(const System& s, const Constraint& c, double) {
    const ArcRef arc = arc_ref(s, c.index[1]);
    return line_along_tangent_error(line_ref(s, c.index[0]), arc.start.at - arc.center.at);
}

double line_arc_end_tangent_error(const System& s, const Constraint& c, double) {
    const ArcRef arc = arc_ref(s, c.index[1]);
    return line_along_tangent_error(line_ref(s, c.index[0]), arc.end.at - arc.center.at);
}

// ---- Measures of the dimensions ---------------------------------------------

// The counter-clockwise sweep in [0, 360) degrees.
double arc_sweep_angle_measure(const System& s, const Constraint& c) {
    const std::optional<Turn> turn = arc_turn(arc_ref(s, c.index[0]));
    if (!turn) return std::nan("");
    return radians_to_degrees(wrapped_sweep(*turn));
}

// ---- Derivatives with respect to the real fields ------------------------------

// Residuals of the form measure - value[0].
ConstraintEntries minus_one(const System&, const Constraint&, unsigned) { return one_entry(-1.0); }

// d/dphi of sin(turn) cos(phi) - cos(turn) sin(phi), phi in degrees.
ConstraintEntries arc_sweep_angle_field_derivative(const System& s, const Constraint& c,
                                                   unsigned) {
    const std::optional<Turn> turn = arc_turn(arc_ref(s, c.index[0]));
    if (!turn) return one_entry(0.0);
    const double phi = degrees_to_radians(c.value[0]);
    return one_entry(-(turn->sine * std::sin(phi) + turn->cosine * std::cos(phi)) * kPi / 180.0);
}

}  // namespace

const KindOperations point_on_circle_kind{point_on_circle_residual, point_on_circle_partials,
                                          length_error<point_on_circle_residual>};
const KindOperations line_circle_tangent_kind{
    line_circle_tangent_residual, line_circle_tangent_partials, line_circle_tangent_error};
const KindOperations circle_circle_tangent_kind{
    CircleCircleTangency::residual, CircleCircleTangency::partials, CircleCircleTangency::error};
const KindOperations circle_circle_tangent_internal_kind{CircleCircleInternalTangency::residual,
                                                         CircleCircleInternalTangency::partials,
                                                         CircleCircleInternalTangency::error};
const KindOperations equal_radius_kind{equal_radius_residual, equal_radius_partials,
                                       length_error<equal_radius_residual>};
const KindOperations concentric_kind{concentric_residual, concentric_partials, concentric_error};
const KindOperations circle_radius_kind{circle_radius_residual, circle_radius_partials, length_error<circle_radius_residual>, measured_from_residual<circle_radius_residual>, minus_one};
const KindOperations point_on_arc_kind{point_on_arc_residual, point_on_arc_partials,
                                       length_error<point_on_arc_residual>};
const KindOperations line_arc_tangent_kind{line_arc_tangent_residual, line_arc_tangent_partials,
                                           line_arc_tangent_error};
const KindOperations arc_arc_tangent_kind{ArcArcTangency::residual, ArcArcTangency::partials,
                                          ArcArcTangency::error};
const KindOperations arc_arc_tangent_internal_kind{ArcArcInternalTangency::residual,
                                                   ArcArcInternalTangency::partials,
                                                   ArcArcInternalTangency::error};
const KindOperations arc_circle_tangent_kind{ArcCircleTangency::residual,
                                             ArcCircleTangency::partials, ArcCircleTangency::error};
const KindOperations arc_circle_tangent_internal_kind{ArcCircleInternalTangency::residual,
                                                      ArcCircleInternalTangency::partials,
                                                      ArcCircleInternalTangency::error};
const KindOperations arc_radius_kind{arc_radius_residual, arc_radius_partials, length_error<arc_radius_residual>, measured_from_residual<arc_radius_residual>, minus_one};
const KindOperations arc_sweep_angle_kind{arc_sweep_angle_residual, arc_sweep_angle_partials, arc_sweep_angle_error, arc_sweep_angle_measure, arc_sweep_angle_field_derivative};
const KindOperations line_arc_start_tangent_kind{
    line_arc_start_tangent_residual, line_arc_start_tangent_partials, line_arc_start_tangent_error};
const KindOperations line_arc_end_tangent_kind{
    line_arc_end_tangent_residual, line_arc_end_tangent_partials, line_arc_end_tangent_error};
const KindOperations c2c_distance_kind{c2c_distance_residual, c2c_distance_partials, length_error<c2c_distance_residual>, measured_from_residual<c2c_distance_residual>, minus_one};
const KindOperations p2c_distance_kind{p2c_distance_residual, p2c_distance_partials, length_error<p2c_distance_residual>, measured_from_residual<p2c_distance_residual>, minus_one};
const KindOperations arc_length_kind{arc_length_residual, arc_length_partials, arc_length_error, measured_from_residual<arc_length_residual>, minus_one};

}  // namespace ovralis::kinds
