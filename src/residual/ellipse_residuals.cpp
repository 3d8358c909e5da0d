// Residuals of the kinds that involve ellipses and arcs of ellipse. An ellipse
// is held as centre C, focus F1 and minor radius b; the second focus
// F2 = 2C - F1 and the major radius a = sqrt(|C - F1|^2 + b^2) are derived
// at every evaluation.

#include <cmath>
#include <string>

#include "residual/kind_residuals.hpp"
#include "system/errors.hpp"

namespace ovralis::residual_detail {
namespace {

struct EllipseShape {
    Vec2 center;
    Vec2 focus1;
    Vec2 focus2;
    double minor;
    double major;
};

EllipseShape shape_of(const System& s, Index center, Index focus1, double radmin) {
    const Vec2 c = point_at(s, center);
    const Vec2 f1 = point_at(s, focus1);
    const Vec2 f2{2.0 * c.x - f1.x, 2.0 * c.y - f1.y};
    return {c, f1, f2, radmin, std::sqrt(squared_norm(c - f1) + radmin * radmin)};
}

EllipseShape ellipse_at(const System& s, Index index) {
    const Ellipse& e = s.ellipses[index];
    return shape_of(s, e.center, e.focus1, e.radmin);
}

// Only the ellipse of the arc enters: its start and end are not used.
EllipseShape arc_of_ellipse_at(const System& s, Index index) {
    const ArcOfEllipse& a = s.arcs_of_ellipse[index];
    return shape_of(s, a.center, a.focus1, a.radmin);
}

// Focal definition: the distances to the two foci sum to the major axis.
double on_ellipse(Vec2 p, const EllipseShape& e) {
    return norm(p - e.focus1) + norm(p - e.focus2) - 2.0 * e.major;
}

constexpr double kMinSquaredLength = 1e-24;

// Reflection property: the line is tangent when the mirror image of F1 in it
// lies at distance 2a from F2.
ConstraintEntries ellipse_tangent_line(const System& s, const Constraint& c) {
    const Line& l = s.lines[c.index[0]];
    const EllipseShape e = ellipse_at(s, c.index[1]);
    const Vec2 a = point_at(s, l.p1);
    const Vec2 d = point_at(s, l.p2) - a;
    const double n = squared_norm(d);
    if (n < kMinSquaredLength) return one_entry(norm(e.focus1 - e.focus2) - 2.0 * e.major);
    const double t = dot(e.focus1 - a, d) / n;
    const Vec2 foot{t * d.x + a.x, t * d.y + a.y};
    // The mirrored focus minus F2, written out as G + G - F1 - F2.
    const Vec2 gap{foot.x + foot.x - e.focus1.x - e.focus2.x,
                   foot.y + foot.y - e.focus1.y - e.focus2.y};
    return one_entry(norm(gap) - 2.0 * e.major);
}

}  // namespace

ConstraintEntries ellipse_residual(const System& s, const Constraint& c) {
    using K = ConstraintKind;
    const auto& i = c.index;
    const auto& v = c.value;
    switch (c.kind) {
        case K::PointOnEllipse:
            return one_entry(on_ellipse(point_at(s, i[0]), ellipse_at(s, i[1])));
        case K::EllipseTangentLine: return ellipse_tangent_line(s, c);
        case K::EqualMajorAxes:
            return one_entry(ellipse_at(s, i[0]).major - ellipse_at(s, i[1]).major);
        case K::EqualMinorAxes:
            return one_entry(s.ellipses[i[0]].radmin - s.ellipses[i[1]].radmin);
        case K::PointOnArcOfEllipse:
            return one_entry(on_ellipse(point_at(s, i[0]), arc_of_ellipse_at(s, i[1])));
        case K::EllipseRadmin: return one_entry(s.ellipses[i[0]].radmin - v[0]);
        case K::EllipseFocusDistance: {
            const EllipseShape e = ellipse_at(s, i[0]);
            return one_entry(2.0 * norm(e.center - e.focus1) - v[0]);
        }
        default:
            throw InternalError("not an ellipse constraint: " + std::string(kind_name(c)));
    }
}

}  // namespace ovralis::residual_detail
