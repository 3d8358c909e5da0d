// Per kind, the equations the constraint analysis differentiates.

#include "validation/analysis_equations.hpp"

#include <cmath>
#include <optional>

#include "jacobian/constraint_derivatives.hpp"
#include "residual/kind_operations.hpp"
#include "residual/kind_support.hpp"
#include "residual/plane_geometry.hpp"
#include "system/errors.hpp"

namespace ovralis {
namespace {

using kinds::add_point;
using kinds::line_ref;
using kinds::LineRef;
using kinds::point_ref;
using kinds::PointRef;

// The signed angle beta from u to v: d beta = cos d(sin) - sin d(cos), which
// never vanishes while both directions have a length. The cosine of the
// angle, by contrast, is flat where the directions are parallel.
struct AngleGradient {
    Vec2 wrt_u;
    Vec2 wrt_v;
};

std::optional<AngleGradient> signed_angle_gradient(const Vec2& u, const Vec2& v) {
    const std::optional<Turn> turn = turn_between(u, v);
    if (!turn) return std::nullopt;
    return AngleGradient{turn->sine_wrt_u * turn->cosine - turn->cosine_wrt_u * turn->sine,
                         turn->sine_wrt_v * turn->cosine - turn->cosine_wrt_v * turn->sine};
}

// A line without length has no direction, so the row stays zero, as in the
// solver's derivative.
void line_angle_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const LineRef l1 = line_ref(s, c.index[0]);
    const LineRef l2 = line_ref(s, c.index[1]);
    const std::optional<AngleGradient> g = signed_angle_gradient(l1.d, l2.d);
    if (!g) return;
    add_point(out, 0, l1.b.index, g->wrt_u);
    add_point(out, 0, l1.a.index, -g->wrt_u);
    add_point(out, 0, l2.b.index, g->wrt_v);
    add_point(out, 0, l2.a.index, -g->wrt_v);
}

// The angle at the vertex (the second point) from the ray to the first point
// to the ray to the third.
void vertex_angle_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const PointRef a = point_ref(s, c.index[0]);
    const PointRef vertex = point_ref(s, c.index[1]);
    const PointRef b = point_ref(s, c.index[2]);
    const std::optional<AngleGradient> g =
        signed_angle_gradient(a.at - vertex.at, b.at - vertex.at);
    if (!g) return;
    add_point(out, 0, a.index, g->wrt_u);
    add_point(out, 0, b.index, g->wrt_v);
    add_point(out, 0, vertex.index, -g->wrt_u - g->wrt_v);
}

// The derivative of the equivalent kind on the same index fields.
unsigned as_kind(const System& s, const Constraint& c, ConstraintKind kind,
                 ConstraintPartials& out) {
    const Constraint equivalent{kind, c.index, {}};
    differentiate(s, equivalent, out);
    return equation_count(equivalent);
}

unsigned own_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    differentiate(s, c, out);
    return equation_count(c);
}

// d(beta - sigma deg)/d(deg), beta in radians from u to v: where the angle
// holds, beta = sigma deg up to whole turns, with sigma the sign of
// sin(beta) sin(deg) (at a multiple of 180 degrees, where both roots meet,
// either sign serves). 0 where a direction has no length (the row is zero there too).
ConstraintEntries signed_angle_field_derivative(const Vec2& u, const Vec2& v, double deg) {
    ConstraintEntries out;
    out.count = 1;
    if (const std::optional<Turn> turn = turn_between(u, v)) {
        const bool same_side = (turn->sine >= 0.0) == (std::sin(degrees_to_radians(deg)) >= 0.0);
        out.value[0] = (same_side ? -1.0 : 1.0) * kPi / 180.0;
    }
    return out;
}

}  // namespace

std::optional<ConstraintEntries> analysis_field_derivative(const System& s, const Constraint& c,
                                                           unsigned slot) {
    using K = ConstraintKind;
    if (c.kind == K::Angle) {
        return signed_angle_field_derivative(line_ref(s, c.index[0]).d, line_ref(s, c.index[1]).d,
                                             c.value[0]);
    }
    if (c.kind == K::AngleBetweenPoints) {
        const Vec2 vertex = point_ref(s, c.index[1]).at;
        return signed_angle_field_derivative(point_ref(s, c.index[0]).at - vertex,
                                             point_ref(s, c.index[2]).at - vertex, c.value[0]);
    }
    const bool zero_distance =
        (c.kind == K::PointLineDistance || c.kind == K::Distance || c.kind == K::C2CDistance) &&
        c.value[0] == 0.0;
    if (zero_distance) return std::nullopt;
    const auto field_derivative = kind_operations(c.kind).field_derivative;
    if (field_derivative == nullptr) throw InternalError("a bound field without a derivative");
    return field_derivative(s, c, slot);
}

unsigned analysis_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    using K = ConstraintKind;
    switch (c.kind) {
        case K::Angle:
            out.count = 0;
            line_angle_partials(s, c, out);
            return 1;
        case K::AngleBetweenPoints:
            out.count = 0;
            vertex_angle_partials(s, c, out);
            return 1;
        case K::PointLineDistance:
            if (c.value[0] == 0.0) return as_kind(s, c, K::PointOnLine, out);
            return own_partials(s, c, out);
        case K::Distance:
            if (c.value[0] == 0.0) return as_kind(s, c, K::Coincident, out);
            return own_partials(s, c, out);
        case K::C2CDistance:
            if (c.value[0] == 0.0) return as_kind(s, c, K::Concentric, out);
            return own_partials(s, c, out);
        case K::Horizontal:
        case K::Vertical:
        case K::Coincident:
        case K::PointOnLine:
        case K::Parallel:
        case K::Perpendicular:
        case K::EqualLength:
        case K::FixedPoint:
        case K::PointOnCircle:
        case K::LineCircleTangent:
        case K::CircleCircleTangent:
        case K::CircleCircleTangentInternal:
        case K::Midpoint:
        case K::EqualRadius:
        case K::Concentric:
        case K::Symmetry:
        case K::LineLineIntersection:
        case K::CircleRadius:
        case K::PointOnLineAt:
        case K::PointOnArc:
        case K::LineArcTangent:
        case K::ArcArcTangent:
        case K::ArcArcTangentInternal:
        case K::ArcCircleTangent:
        case K::ArcCircleTangentInternal:
        case K::ArcRadius:
        case K::ArcSweepAngle:
        case K::LineArcStartTangent:
        case K::LineArcEndTangent:
        case K::PointOnEllipse:
        case K::EllipseTangentLine:
        case K::EqualMajorAxes:
        case K::EqualMinorAxes:
        case K::PointOnArcOfEllipse:
        case K::EllipseRadmin:
        case K::P2CDistance:
        case K::ArcLength:
        case K::EqualLineLength:
        case K::EllipseFocusDistance: return own_partials(s, c, out);
    }
    throw InternalError("unknown constraint kind");
}

}  // namespace ovralis
