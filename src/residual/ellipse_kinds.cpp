// The kinds that involve ellipses and arcs of ellipse; each kind's residual and
// its derivative, side by side. An ellipse is held as centre C, focus F1 and
// minor radius b; the second focus F2 = 2C - F1 and the major radius
// a = sqrt(|C - F1|^2 + b^2) are derived at every evaluation.

#include "residual/ellipse_kinds.hpp"

#include <cmath>

#include "residual/kind_support.hpp"

namespace ovralis::kinds {
namespace {

// An ellipse or an arc of ellipse: only centre, focus and minor radius matter.
struct EllipseRef {
    PointRef center;
    PointRef focus;
    double radmin;
    Parameter radmin_parameter;

    Vec2 second_focus() const {
        return Vec2(2.0 * center.at.x() - focus.at.x(), 2.0 * center.at.y() - focus.at.y());
    }
    double major() const { return std::sqrt(squared_norm(center.at - focus.at) + radmin * radmin); }
};

EllipseRef ellipse_ref(const System& s, Index i) {
    const Ellipse& e = s.ellipses[i];
    return {
        point_ref(s, e.center), point_ref(s, e.focus1), e.radmin, {ParamKind::EllipseRadmin, i}};
}

// Only the ellipse of the arc enters: its start and end are not used.
EllipseRef arc_of_ellipse_ref(const System& s, Index i) {
    const ArcOfEllipse& e = s.arcs_of_ellipse[i];
    return {point_ref(s, e.center),
            point_ref(s, e.focus1),
            e.radmin,
            {ParamKind::ArcOfEllipseRadmin, i}};
}

// scale * a, with |C - F1|^2 + b^2 under the root.
void major_radius_terms(ConstraintPartials& out, const EllipseRef& e, double scale) {
    const Vec2 half_focal = e.center.at - e.focus.at;
    const double a = std::sqrt(half_focal.squaredNorm() + e.radmin * e.radmin);
    if (!(a > kMinLength)) return;
    add_point(out, 0, e.center.index, half_focal * (scale / a));
    add_point(out, 0, e.focus.index, half_focal * (-scale / a));
    out.add(0, e.radmin_parameter, scale * e.radmin / a);
}

// ---- A point on the ellipse by its focal definition: |P - F1| + |P - F2| - 2a ---

ConstraintEntries on_ellipse(const Vec2& p, const EllipseRef& e) {
    return one_entry(norm(p - e.focus.at) + norm(p - e.second_focus()) - 2.0 * e.major());
}

void on_ellipse_terms(ConstraintPartials& out, const PointRef& p, const EllipseRef& e) {
    distance_terms(out, 0, p, e.focus, 1.0);
    const Vec2 to_second = p.at - e.second_focus();
    const double length = to_second.norm();
    if (length > kMinLength) {
        const Vec2 unit = to_second / length;
        add_point(out, 0, p.index, unit);
        add_point(out, 0, e.center.index, -2.0 * unit);
        add_point(out, 0, e.focus.index, unit);
    }
    major_radius_terms(out, e, -2.0);
}

ConstraintEntries point_on_ellipse_residual(const System& s, const Constraint& c) {
    return on_ellipse(point_ref(s, c.index[0]).at, ellipse_ref(s, c.index[1]));
}

void point_on_ellipse_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    on_ellipse_terms(out, point_ref(s, c.index[0]), ellipse_ref(s, c.index[1]));
}

ConstraintEntries point_on_arc_of_ellipse_residual(const System& s, const Constraint& c) {
    return on_ellipse(point_ref(s, c.index[0]).at, arc_of_ellipse_ref(s, c.index[1]));
}

void point_on_arc_of_ellipse_partials(const System& s, const Constraint& c,
                                      ConstraintPartials& out) {
    on_ellipse_terms(out, point_ref(s, c.index[0]), arc_of_ellipse_ref(s, c.index[1]));
}

// ---- EllipseTangentLine: the reflection property ----------------------------------
// The line is tangent when the mirror image F1' of F1 in it lies at distance 2a
// from F2; the residual is |F1' - F2| - 2a.

ConstraintEntries ellipse_tangent_line_residual(const System& s, const Constraint& c) {
    const LineRef line = line_ref(s, c.index[0]);
    const EllipseRef e = ellipse_ref(s, c.index[1]);
    const Vec2 f1 = e.focus.at;
    const Vec2 f2 = e.second_focus();
    const double n = squared_norm(line.d);
    if (n < kMinSquaredLength) return one_entry(norm(f1 - f2) - 2.0 * e.major());
    const Vec2 a = line.a.at;
    const Vec2 d = line.d;
    const double t = dot(f1 - a, d) / n;
    const Vec2 foot(t * d.x() + a.x(), t * d.y() + a.y());
    // The mirrored focus minus F2, written out as G + G - F1 - F2.
    const Vec2 gap(foot.x() + foot.x() - f1.x() - f2.x(), foot.y() + foot.y() - f1.y() - f2.y());
    return one_entry(norm(gap) - 2.0 * e.major());
}

// D = 2G - F1 - F2 with F2 = 2C - F1, so dD/dF1 = 2 dG/dF1.
void ellipse_tangent_line_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    const LineRef l = line_ref(s, c.index[0]);
    const EllipseRef e = ellipse_ref(s, c.index[1]);
    if (!(l.d.squaredNorm() > kMinSquaredLength)) return;
    const Foot foot = foot_on_line(e.focus.at, l);
    const Vec2 d = foot.at + foot.at - e.focus.at - e.second_focus();
    const double length = d.norm();
    if (!(length > kMinLength)) return;
    const Vec2 unit = d / length;
    add_point(out, 0, e.focus.index, 2.0 * foot.wrt_point.transpose() * unit);
    add_point(out, 0, l.a.index, 2.0 * foot.wrt_a.transpose() * unit);
    add_point(out, 0, l.b.index, 2.0 * foot.wrt_b.transpose() * unit);
    add_point(out, 0, e.center.index, -2.0 * unit);
    major_radius_terms(out, e, -2.0);
}

// ---- Axes: EqualMajorAxes a1 - a2; EqualMinorAxes b1 - b2; EllipseRadmin b - r ----

ConstraintEntries equal_major_axes_residual(const System& s, const Constraint& c) {
    return one_entry(ellipse_ref(s, c.index[0]).major() - ellipse_ref(s, c.index[1]).major());
}

void equal_major_axes_partials(const System& s, const Constraint& c, ConstraintPartials& out) {
    major_radius_terms(out, ellipse_ref(s, c.index[0]), 1.0);
    major_radius_terms(out, ellipse_ref(s, c.index[1]), -1.0);
}

ConstraintEntries equal_minor_axes_residual(const System& s, const Constraint& c) {
    return one_entry(s.ellipses[c.index[0]].radmin - s.ellipses[c.index[1]].radmin);
}

void equal_minor_axes_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    parameter_difference(out, 0, {ParamKind::EllipseRadmin, c.index[0]},
                         {ParamKind::EllipseRadmin, c.index[1]});
}

ConstraintEntries ellipse_radmin_residual(const System& s, const Constraint& c) {
    return one_entry(s.ellipses[c.index[0]].radmin - c.value[0]);
}

void ellipse_radmin_partials(const System&, const Constraint& c, ConstraintPartials& out) {
    out.add(0, {ParamKind::EllipseRadmin, c.index[0]}, 1.0, true);
}

// ---- EllipseFocusDistance: 2 |C - F1| - d, d the distance between the foci -------

ConstraintEntries ellipse_focus_distance_residual(const System& s, const Constraint& c) {
    const EllipseRef e = ellipse_ref(s, c.index[0]);
    return one_entry(2.0 * norm(e.center.at - e.focus.at) - c.value[0]);
}

void ellipse_focus_distance_partials(const System& s, const Constraint& c,
                                     ConstraintPartials& out) {
    const EllipseRef e = ellipse_ref(s, c.index[0]);
    distance_terms(out, 0, e.center, e.focus, 2.0);
}

// ---- Geometric errors --------------------------------------------------------
// The focal residuals grow twice as fast as the distance from the curve near
// the major vertices, so half of them reads as a distance.

double point_on_ellipse_error(const System& s, const Constraint& c, double scale) {
    return std::fabs(point_on_ellipse_residual(s, c).value[0]) / (2.0 * scale);
}

double point_on_arc_of_ellipse_error(const System& s, const Constraint& c, double scale) {
    return std::fabs(point_on_arc_of_ellipse_residual(s, c).value[0]) / (2.0 * scale);
}

double ellipse_tangent_line_error(const System& s, const Constraint& c, double scale) {
    return std::fabs(ellipse_tangent_line_residual(s, c).value[0]) / (2.0 * scale);
}

// Residuals of the form measure - value[0]: their derivative with respect to it.
ConstraintEntries minus_one(const System&, const Constraint&, unsigned) { return one_entry(-1.0); }

}  // namespace

const KindOperations point_on_ellipse_kind{point_on_ellipse_residual, point_on_ellipse_partials,
                                           point_on_ellipse_error};
const KindOperations ellipse_tangent_line_kind{
    ellipse_tangent_line_residual, ellipse_tangent_line_partials, ellipse_tangent_line_error};
const KindOperations equal_major_axes_kind{equal_major_axes_residual, equal_major_axes_partials,
                                           length_error<equal_major_axes_residual>};
const KindOperations equal_minor_axes_kind{equal_minor_axes_residual, equal_minor_axes_partials,
                                           length_error<equal_minor_axes_residual>};
const KindOperations point_on_arc_of_ellipse_kind{point_on_arc_of_ellipse_residual,
                                                  point_on_arc_of_ellipse_partials,
                                                  point_on_arc_of_ellipse_error};
const KindOperations ellipse_radmin_kind{ellipse_radmin_residual, ellipse_radmin_partials,
                                         length_error<ellipse_radmin_residual>,
    measured_from_residual<ellipse_radmin_residual>, minus_one};
const KindOperations ellipse_focus_distance_kind{ellipse_focus_distance_residual,
                                                 ellipse_focus_distance_partials,
                                                 length_error<ellipse_focus_distance_residual>,
    measured_from_residual<ellipse_focus_distance_residual>, minus_one};

}  // namespace ovralis::kinds
