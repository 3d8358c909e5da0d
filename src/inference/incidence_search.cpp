// Incidences: which points coincide, lie on a line, circle or arc, or halve a line.

#include <cmath>

#include "inference/candidate_search.hpp"

namespace ovralis::inference {
namespace {

// Distinct points within the length tolerance; circles about two such
// centres are concentric.
void coincident_points(SearchContext& c) {
    const System& s = c.system;
    std::vector<std::vector<Index>> circles_at(s.points.size());
    for (Index i = 0; i < s.circles.size(); ++i) circles_at[s.circles[i].center].push_back(i);
    for (Index p = 0; p < s.points.size(); ++p) {
        const Vec2 at = point_at(s, p);
        for (const std::uint32_t q : c.index.points.near(box_around(at.x(), at.y(), c.length_tol))) {
            if (q <= p) continue;
            c.out.offer(Relation::Coincident, relation_constraint(ConstraintKind::Coincident, p, q));
            for (const Index a : circles_at[p]) {
                for (const Index b : circles_at[q]) {
                    c.out.offer(Relation::Concentric,
                                relation_constraint(ConstraintKind::Concentric, a, b));
                }
            }
        }
    }
}

bool is_end_of(const Line& l, Index p) { return l.p1 == p || l.p2 == p; }

// Points on a line's segment (its extension is left to collinearity).
void points_on_lines(SearchContext& c) {
    const System& s = c.system;
    for (Index i = 0; i < s.lines.size(); ++i) {
        const Line& l = s.lines[i];
        const Vec2 a = point_at(s, l.p1);
        const Vec2 b = point_at(s, l.p2);
        const Vec2 d = b - a;
        const double length2 = squared_norm(d);
        if (!(length2 > 0.0)) continue;
        const Box box = box_around(a.x(), a.y(), b.x(), b.y(), c.length_tol);
        for (const std::uint32_t p : c.index.points.near(box)) {
            if (is_end_of(l, p)) continue;
            const double t = dot(point_at(s, p) - a, d) / length2;
            if (t < 0.0 || t > 1.0) continue;
            c.out.offer(Relation::PointOnLine, relation_constraint(ConstraintKind::PointOnLine, p, i));
        }
    }
}

// Points on circles and on arcs within their sweep; an arc's own ends first of all.
void points_on_rounds(SearchContext& c) {
    const System& s = c.system;
    for (Index i = 0; i < s.arcs.size(); ++i) {
        c.out.offer(Relation::PointOnArc, relation_constraint(ConstraintKind::PointOnArc, s.arcs[i].start, i));
        c.out.offer(Relation::PointOnArc, relation_constraint(ConstraintKind::PointOnArc, s.arcs[i].end, i));
    }
    for (Index i = 0; i < s.circles.size(); ++i) {
        const Circle& circle = s.circles[i];
        for (const std::uint32_t p : c.index.points.near(round_box(s, circle.center, circle.radius, c.length_tol))) {
            if (p == circle.center) continue;
            c.out.offer(Relation::PointOnCircle,
                        relation_constraint(ConstraintKind::PointOnCircle, p, i));
        }
    }
    for (Index i = 0; i < s.arcs.size(); ++i) {
        const Arc& arc = s.arcs[i];
        const double margin = c.length_tol / std::max(std::fabs(arc.radius), c.length_tol);
        for (const std::uint32_t p : c.index.points.near(round_box(s, arc.center, arc.radius, c.length_tol))) {
            if (p == arc.center || p == arc.start || p == arc.end) continue;
            if (!within_sweep(s, arc, point_at(s, p), margin)) continue;
            c.out.offer(Relation::PointOnArc, relation_constraint(ConstraintKind::PointOnArc, p, i));
        }
    }
}

void midpoints(SearchContext& c) {
    const System& s = c.system;
    for (Index i = 0; i < s.lines.size(); ++i) {
        const Line& l = s.lines[i];
        const Vec2 m = 0.5 * (point_at(s, l.p1) + point_at(s, l.p2));
        for (const std::uint32_t p : c.index.points.near(box_around(m.x(), m.y(), c.length_tol))) {
            if (is_end_of(l, p)) continue;
            c.out.offer(Relation::Midpoint, relation_constraint(ConstraintKind::Midpoint, p, l.p1, l.p2));
        }
    }
}

}  // namespace

Constraint relation_constraint(ConstraintKind kind, Index a, Index b, Index c) {
    Constraint out;
    out.kind = kind;
    out.index = {a, b, c};
    return out;
}

void search_incidences(SearchContext& context) {
    if (context.out.wants(Relation::Coincident) || context.out.wants(Relation::Concentric)) {
        coincident_points(context);
    }
    if (context.out.wants(Relation::PointOnLine)) points_on_lines(context);
    if (context.out.wants(Relation::PointOnCircle) || context.out.wants(Relation::PointOnArc)) {
        points_on_rounds(context);
    }
    if (context.out.wants(Relation::Midpoint)) midpoints(context);
}

}  // namespace ovralis::inference
