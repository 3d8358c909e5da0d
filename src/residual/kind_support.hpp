#pragma once

// The pieces the three family files share: the geometry a constraint reads
// (with the parameters that name it), and the derivative terms that recur.

#include <cmath>

#include "residual/constraint_partials.hpp"
#include "residual/plane_geometry.hpp"
#include "residual/residual.hpp"

namespace ovralis::kinds {

// A point's position and its index, which names its two parameters.
struct PointRef {
    Index index;
    Vec2 at;
};

// A line's endpoints A (p1), B (p2) and its direction d = B - A.
struct LineRef {
    PointRef a;
    PointRef b;
    Vec2 d;
};

inline PointRef point_ref(const System& s, Index i) {
    return {i, Vec2(s.points[i].x, s.points[i].y)};
}

inline LineRef line_ref(const System& s, Index i) {
    const PointRef a = point_ref(s, s.lines[i].p1);
    const PointRef b = point_ref(s, s.lines[i].p2);
    return {a, b, b.at - a.at};
}

inline ConstraintEntries one_entry(double value) { return {{value, 0.0}, 1}; }
inline ConstraintEntries two_entries(double first, double second) { return {{first, second}, 2}; }

// The geometric error of a kind whose one residual entry is already a length:
// its magnitude in units of the scale.
template <ConstraintEntries (*Residual)(const System&, const Constraint&)>
double length_error(const System& s, const Constraint& c, double scale) {
    return std::fabs(Residual(s, c).value[0]) / scale;
}

// The dimension of a kind whose one residual entry is what the geometry
// measures minus the constraint's first real: that first real plus the entry.
template <ConstraintEntries (*Residual)(const System&, const Constraint&)>
double measured_from_residual(const System& s, const Constraint& c) {
    return c.value[0] + Residual(s, c).value[0];
}

// The gradient of one entry with respect to a point's x and y.
void add_point(ConstraintPartials& out, unsigned entry, Index p, const Vec2& gradient,
               bool constant = false);

// For a two-entry residual (an x entry then a y entry): row i of `jacobian`
// holds entry i's derivatives with respect to the point's x and y.
void add_point_block(ConstraintPartials& out, Index p, const Mat2& jacobian);

// +-coefficient in the x entry for x and in the y entry for y.
void add_point_identity(ConstraintPartials& out, Index p, double coefficient);

// First minus second, for two parameters of the same kind.
void parameter_difference(ConstraintPartials& out, unsigned entry, Parameter first,
                          Parameter second);

// P1 - P2, x entry then y entry.
void coincidence(ConstraintPartials& out, Index p1, Index p2);

// scale * |P - Q|: +-scale * (P - Q) / |P - Q|, dropped for a vanishing length.
void distance_terms(ConstraintPartials& out, unsigned entry, const PointRef& p, const PointRef& q,
                    double scale);

// cross(Q - A, d)^2 / |d|^2, the squared distance of Q from the infinite line.
// The caller has checked that |d|^2 is not vanishing.
void squared_line_distance_terms(ConstraintPartials& out, const PointRef& q, const LineRef& l);

// The foot G = A + s*d of point Q on the infinite line, s = dot(Q - A, d) / |d|^2,
// with its Jacobians (rows: G.x, G.y) with respect to Q, A and B.
struct Foot {
    Vec2 at;
    Mat2 wrt_point;
    Mat2 wrt_a;
    Mat2 wrt_b;
};

Foot foot_on_line(const Vec2& q, const LineRef& l);

// The distance of Q from the infinite line; from A when the line has no length.
double distance_to_line(const Vec2& q, const LineRef& l);

}  // namespace ovralis::kinds
