// Tangencies: a line touching a circle or an arc, two rounds touching, at a
// shared end or anywhere along them. The touching point must lie on both
// figures (within the segment, within the arc's sweep), so that a line whose
// extension merely grazes a circle far away is not taken for a tangent.

#include <cmath>

#include "inference/candidate_search.hpp"

namespace ovralis::inference {
namespace {

// A circle or an arc, as the rounds grid numbers them.
struct Round {
    bool is_arc;
    Index index;
    Index center;
    double radius;
};

Round round_of(const System& s, std::uint32_t item) {
    if (item < s.circles.size()) {
        const Circle& circle = s.circles[item];
        return {false, item, circle.center, std::fabs(circle.radius)};
    }
    const Index i = item - s.circles.size();
    return {true, i, s.arcs[i].center, std::fabs(s.arcs[i].radius)};
}

bool touches_at(const SearchContext& c, const Round& r, const Vec2& p) {
    if (!r.is_arc) return true;
    const double margin = c.length_tol / std::max(r.radius, c.length_tol);
    return within_sweep(c.system, c.system.arcs[r.index], p, margin);
}

// A line along an arc's tangent where it ends at the arc's start or end.
void line_arc_at_ends(SearchContext& c) {
    const System& s = c.system;
    for (Index i = 0; i < s.arcs.size(); ++i) {
        const Arc& arc = s.arcs[i];
        for (const Index line : c.index.lines_at_point[arc.start]) {
            c.out.offer(Relation::Tangent, relation_constraint(ConstraintKind::LineArcStartTangent, line, i));
        }
        for (const Index line : c.index.lines_at_point[arc.end]) {
            c.out.offer(Relation::Tangent, relation_constraint(ConstraintKind::LineArcEndTangent, line, i));
        }
    }
}

bool shares_end(const Line& l, const Round& r, const System& s) {
    if (!r.is_arc) return false;
    const Arc& arc = s.arcs[r.index];
    return l.p1 == arc.start || l.p1 == arc.end || l.p2 == arc.start || l.p2 == arc.end;
}

void lines_touching_rounds(SearchContext& c) {
    const System& s = c.system;
    const std::size_t rounds = s.circles.size() + s.arcs.size();
    for (std::uint32_t item = 0; item < rounds; ++item) {
        const Round r = round_of(s, item);
        const Vec2 centre = point_at(s, r.center);
        for (const std::uint32_t i : c.index.lines.near(round_box(s, r.center, r.radius, c.length_tol))) {
            const Line& l = s.lines[i];
            if (shares_end(l, r, s)) continue;
            const Vec2 a = point_at(s, l.p1);
            const Vec2 d = point_at(s, l.p2) - a;
            const double length2 = squared_norm(d);
            if (!(length2 > 0.0)) continue;
            const double t = dot(centre - a, d) / length2;
            const double slack = c.length_tol / std::sqrt(length2);
            if (t < -slack || t > 1.0 + slack) continue;
            if (!touches_at(c, r, a + t * d)) continue;
            const ConstraintKind kind = r.is_arc ? ConstraintKind::LineArcTangent : ConstraintKind::LineCircleTangent;
            c.out.offer(Relation::Tangent, relation_constraint(kind, i, r.index));
        }
    }
}

ConstraintKind rounds_kind(const Round& a, const Round& b, bool internal) {
    if (a.is_arc && b.is_arc) return internal ? ConstraintKind::ArcArcTangentInternal : ConstraintKind::ArcArcTangent;
    if (a.is_arc || b.is_arc) return internal ? ConstraintKind::ArcCircleTangentInternal : ConstraintKind::ArcCircleTangent;
    return internal ? ConstraintKind::CircleCircleTangentInternal : ConstraintKind::CircleCircleTangent;
}

// Two rounds touch from outside when their centres are r1 + r2 apart, from
// inside when |r1 - r2| apart (and not concentric); the touching point lies
// on the line of centres.
void rounds_touching(SearchContext& c) {
    const System& s = c.system;
    const std::size_t rounds = s.circles.size() + s.arcs.size();
    for (std::uint32_t item = 0; item < rounds; ++item) {
        const Round first = round_of(s, item);
        const Vec2 c1 = point_at(s, first.center);
        for (const std::uint32_t other : c.index.rounds.near(round_box(s, first.center, first.radius, c.length_tol))) {
            if (other <= item) continue;
            const Round second = round_of(s, other);
            const Vec2 c2 = point_at(s, second.center);
            const double distance = norm(c2 - c1);
            if (!(distance > c.length_tol)) continue;
            const Vec2 toward = (c2 - c1) / distance;
            const bool external = std::fabs(distance - (first.radius + second.radius)) <= c.length_tol;
            const bool internal = std::fabs(distance - std::fabs(first.radius - second.radius)) <= c.length_tol;
            if (!external && !internal) continue;
            const double side = external || first.radius >= second.radius ? 1.0 : -1.0;
            const Vec2 contact = c1 + side * first.radius * toward;
            if (!touches_at(c, first, contact) || !touches_at(c, second, contact)) continue;
            // The arc goes first where an arc meets a circle.
            const bool swap = !first.is_arc && second.is_arc;
            const Round& a = swap ? second : first;
            const Round& b = swap ? first : second;
            c.out.offer(Relation::Tangent, relation_constraint(rounds_kind(a, b, internal), a.index, b.index));
        }
    }
}

}  // namespace

void search_tangencies(SearchContext& context) {
    if (!context.out.wants(Relation::Tangent)) return;
    line_arc_at_ends(context);
    lines_touching_rounds(context);
    rounds_touching(context);
}

}  // namespace ovralis::inference
