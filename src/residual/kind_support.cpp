// Derivative terms and distances shared by the constraint families.

#include "residual/kind_support.hpp"

namespace ovralis::kinds {

void add_point(ConstraintPartials& out, unsigned entry, Index p, const Vec2& gradient,
               bool constant) {
    out.add(entry, {ParamKind::PointX, p}, gradient.x(), constant);
    out.add(entry, {ParamKind::PointY, p}, gradient.y(), constant);
}

void add_point_block(ConstraintPartials& out, Index p, const Mat2& jacobian) {
    add_point(out, 0, p, jacobian.row(0).transpose());
    add_point(out, 1, p, jacobian.row(1).transpose());
}

void add_point_identity(ConstraintPartials& out, Index p, double coefficient) {
    out.add(0, {ParamKind::PointX, p}, coefficient, true);
    out.add(1, {ParamKind::PointY, p}, coefficient, true);
}

void parameter_difference(ConstraintPartials& out, unsigned entry, Parameter first,
                          Parameter second) {
    out.add(entry, first, 1.0, true);
    out.add(entry, second, -1.0, true);
}

void coincidence(ConstraintPartials& out, Index p1, Index p2) {
    parameter_difference(out, 0, {ParamKind::PointX, p1}, {ParamKind::PointX, p2});
    parameter_difference(out, 1, {ParamKind::PointY, p1}, {ParamKind::PointY, p2});
}

void distance_terms(ConstraintPartials& out, unsigned entry, const PointRef& p, const PointRef& q,
                    double scale) {
    const Vec2 difference = p.at - q.at;
    const double length = difference.norm();
    if (!(length > kMinLength)) return;
    const Vec2 gradient = difference * (scale / length);
    add_point(out, entry, p.index, gradient);
    add_point(out, entry, q.index, -gradient);
}

// The residual is unchanged when Q, A and B move together, so A's gradient is
// minus the sum of the others.
void squared_line_distance_terms(ConstraintPartials& out, const PointRef& q, const LineRef& l) {
    const double n = l.d.squaredNorm();
    const double c = cross(q.at - l.a.at, l.d);
    const double k = 2.0 * c / n;
    const Vec2 wrt_q = perp(l.d) * k;
    const Vec2 wrt_b = -perp(q.at - l.a.at) * k - l.d * (2.0 * c * c / (n * n));
    add_point(out, 0, q.index, wrt_q);
    add_point(out, 0, l.b.index, wrt_b);
    add_point(out, 0, l.a.index, -wrt_q - wrt_b);
}

Foot foot_on_line(const Vec2& q, const LineRef& l) {
    const double n = l.d.squaredNorm();
    const Vec2 w = q - l.a.at;
    const double s = w.dot(l.d) / n;
    Foot foot;
    foot.at = l.d * s + l.a.at;
    foot.wrt_point = l.d * l.d.transpose() / n;
    foot.wrt_b = Mat2::Identity() * s + l.d * (w - 2.0 * s * l.d).transpose() / n;
    foot.wrt_a = Mat2::Identity() - foot.wrt_point - foot.wrt_b;
    return foot;
}

double distance_to_line(const Vec2& q, const LineRef& l) {
    const double length = norm(l.d);
    if (length < kMinLength) return norm(q - l.a.at);
    return std::fabs(cross(q - l.a.at, l.d)) / length;
}

}  // namespace ovralis::kinds
