#include "inference/autodimension.hpp"

#include <algorithm>
#include <cmath>

#include "inference/drawing_frame.hpp"
#include "inference/independent_selection.hpp"
#include "residual/plane_geometry.hpp"
#include "system/store.hpp"
#include "validation/equation_jacobian.hpp"

namespace ovralis::inference {
namespace {

Vec2 at(const System& s, Index p) { return position(s.points[p]); }

Constraint dimension(ConstraintKind kind, std::array<Index, 3> index, std::array<double, 2> value = {}) {
    Constraint c;
    c.kind = kind;
    c.index = index;
    c.value = value;
    return c;
}

Constraint fixed_where_it_is(const System& s, Index p) {
    return dimension(ConstraintKind::FixedPoint, {p, 0, 0}, {s.points[p].x, s.points[p].y});
}

// Whether turning every point about the datum leaves every equation unchanged
// to first order: the rotation is then a freedom no constraint removes.
bool turns_freely(const System& s, Index datum) {
    const EquationJacobian jacobian = equation_jacobian(s);
    if (jacobian.matrix.rows() == 0) return true;
    const Vec2 pivot = at(s, datum);
    Eigen::VectorXd turn = Eigen::VectorXd::Zero(jacobian.matrix.cols());
    for (Eigen::Index j = 0; j < jacobian.matrix.cols(); ++j) {
        const Parameter& p = jacobian.columns[static_cast<std::size_t>(j)];
        if (p.kind == ParamKind::PointX) turn[j] = -(s.points[p.entity].y - pivot.y());
        if (p.kind == ParamKind::PointY) turn[j] = s.points[p.entity].x - pivot.x();
    }
    const double largest = turn.lpNorm<Eigen::Infinity>();
    if (largest == 0.0) return false;
    const Eigen::VectorXd change = jacobian.matrix * turn;
    return change.lpNorm<Eigen::Infinity>() <= kIndependenceMargin * largest;
}

// Free points, farthest from the datum first (ties by rank), or nearest first.
std::vector<Index> points_by_distance(const System& s, const DrawingFrame& frame, Index from, bool nearest_first) {
    std::vector<Index> order;
    for (Index p = 0; p < s.points.size(); ++p) {
        if (p != from && !s.points[p].fixed) order.push_back(p);
    }
    const Vec2 origin = at(s, from);
    std::sort(order.begin(), order.end(), [&](Index a, Index b) {
        const double da = norm(at(s, a) - origin), db = norm(at(s, b) - origin);
        if (da != db) return nearest_first ? da < db : da > db;
        return frame.point_rank[a] < frame.point_rank[b];
    });
    return order;
}

template <typename Vector, typename Rank>
std::vector<Index> by_rank(const Vector& entities, const Rank& rank) {
    std::vector<Index> order(entities.size());
    for (Index i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](Index a, Index b) { return rank[a] < rank[b]; });
    return order;
}

void add_shape_dimensions(const System& s, const DrawingFrame& frame, std::vector<Constraint>& out) {
    for (const Index i : by_rank(s.circles, frame.circle_rank)) {
        out.push_back(dimension(ConstraintKind::CircleRadius, {i, 0, 0}, {std::fabs(s.circles[i].radius), 0.0}));
    }
    for (const Index i : by_rank(s.arcs, frame.arc_rank)) {
        out.push_back(dimension(ConstraintKind::ArcRadius, {i, 0, 0}, {std::fabs(s.arcs[i].radius), 0.0}));
    }
    const std::vector<Index> lines = by_rank(s.lines, frame.line_rank);
    for (const Index i : lines) {
        const Line& l = s.lines[i];
        out.push_back(dimension(ConstraintKind::Distance, {l.p1, l.p2, 0}, {norm(at(s, l.p2) - at(s, l.p1)), 0.0}));
    }
    // Angles at the points where lines meet.
    std::vector<std::vector<Index>> lines_at(s.points.size());
    for (const Index i : lines) {
        lines_at[s.lines[i].p1].push_back(i);
        if (s.lines[i].p2 != s.lines[i].p1) lines_at[s.lines[i].p2].push_back(i);
    }
    for (const Index p : by_rank(s.points, frame.point_rank)) {
        const auto& meeting = lines_at[p];
        for (std::size_t a = 0; a + 1 < meeting.size(); ++a) {
            const Vec2 d1 = at(s, s.lines[meeting[a]].p2) - at(s, s.lines[meeting[a]].p1);
            const Vec2 d2 = at(s, s.lines[meeting[a + 1]].p2) - at(s, s.lines[meeting[a + 1]].p1);
            const double angle = angle_between(d1, d2);
            if (!(std::fabs(std::sin(angle)) > kIndependenceMargin)) continue;
            out.push_back(dimension(ConstraintKind::Angle, {meeting[a], meeting[a + 1], 0}, {radians_to_degrees(angle), 0.0}));
        }
    }
}

// Each point's distance from the lines that meet at the datum (its edges), as
// a drawing dimensions positions from the edges of its datum corner.
void add_edge_baselines(const System& s, const DrawingFrame& frame, Index datum, std::vector<Constraint>& out) {
    std::vector<Index> edges;
    for (Index i = 0; i < s.lines.size(); ++i) {
        if (s.lines[i].p1 == datum || s.lines[i].p2 == datum) edges.push_back(i);
    }
    std::sort(edges.begin(), edges.end(), [&](Index a, Index b) { return frame.line_rank[a] < frame.line_rank[b]; });
    const double tiny = kIndependenceMargin * frame.size;
    for (const Index p : points_by_distance(s, frame, datum, true)) {
        for (const Index edge : edges) {
            const Vec2 a = at(s, s.lines[edge].p1), d = at(s, s.lines[edge].p2) - a;
            if (!(norm(d) > tiny)) continue;
            const double distance = std::fabs(cross(d, at(s, p) - a)) / norm(d);
            if (distance <= tiny) continue;  // on the edge: a relation's business, not a dimension's
            out.push_back(dimension(ConstraintKind::PointLineDistance, {p, edge, 0}, {distance, 0.0}));
        }
    }
}

void add_baseline(const System& s, const DrawingFrame& frame, Index from, std::vector<Constraint>& out) {
    for (const Index p : points_by_distance(s, frame, from, true)) {
        out.push_back(dimension(ConstraintKind::Distance, {from, p, 0}, {norm(at(s, p) - at(s, from)), 0.0}));
    }
}

std::vector<Index> add_independent(System& s, const std::vector<Constraint>& candidates) {
    const std::vector<Independence> verdict = independent_candidates(s, candidates);
    std::vector<Index> added;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        if (verdict[k] != Independence::Independent) continue;
        added.push_back(s.constraints.size());
        add_constraint(s, candidates[k]);
    }
    return added;
}

}  // namespace

std::optional<Index> lowest_left_point(const System& s) {
    if (s.points.empty()) return std::nullopt;
    const DrawingFrame frame = measure_drawing(s);
    const Vec2 corner(frame.bounds.x0, frame.bounds.y0);
    Index best = 0;
    for (Index p = 1; p < s.points.size(); ++p) {
        const double dp = norm(at(s, p) - corner), db = norm(at(s, best) - corner);
        if (dp < db || (dp == db && frame.point_rank[p] < frame.point_rank[best])) best = p;
    }
    return best;
}

std::vector<Index> autodimension(System& s, Index datum) {
    const DrawingFrame frame = measure_drawing(s);
    std::vector<Constraint> datums;
    if (!s.points[datum].fixed) datums.push_back(fixed_where_it_is(s, datum));
    std::vector<Index> added = add_independent(s, datums);

    const std::vector<Index> farthest = points_by_distance(s, frame, datum, false);
    std::optional<Index> second;
    if (!farthest.empty() && turns_freely(s, datum)) {
        second = farthest.front();
        for (const Index i : add_independent(s, {fixed_where_it_is(s, *second)})) added.push_back(i);
    }

    std::vector<Constraint> dimensions;
    add_shape_dimensions(s, frame, dimensions);
    add_edge_baselines(s, frame, datum, dimensions);
    add_baseline(s, frame, datum, dimensions);
    if (second) add_baseline(s, frame, *second, dimensions);
    for (const Index p : points_by_distance(s, frame, datum, true)) dimensions.push_back(fixed_where_it_is(s, p));
    for (const Index i : add_independent(s, dimensions)) added.push_back(i);
    return added;
}

}  // namespace ovralis::inference
