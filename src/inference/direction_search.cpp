// Directions: lines along the axes, parallel, perpendicular or on one
// infinite line, and pairs of points mirrored about a line.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <unordered_map>

#include "inference/candidate_search.hpp"

namespace ovralis::inference {
namespace {

// A line's direction as an angle in [0, pi) and its signed distance from the
// drawing's centre: equal for lines on one infinite line.
struct Direction {
    double angle;
    double offset;
};

Direction direction_of(const Vec2& a, const Vec2& b, const Vec2& centre) {
    double angle = std::atan2(b.y() - a.y(), b.x() - a.x());
    if (angle < 0.0) angle += kPi;
    if (angle >= kPi) angle -= kPi;
    const Vec2 u(std::cos(angle), std::sin(angle));
    return {angle, cross(u, a - centre)};
}

// Lines filed by quantised direction and offset; a lookup visits the
// neighbouring bins, and the bins across the wrap of the angle at pi.
class InfiniteLineIndex {
public:
    InfiniteLineIndex(double angle_bin, double offset_bin)
        : angle_bin_(angle_bin), offset_bin_(offset_bin) {}

    void insert(Index line, const Direction& d) { bins_[key(bin(d.angle, angle_bin_), bin(d.offset, offset_bin_))].push_back(line); }

    template <typename Visit>
    void near(const Direction& d, Visit visit) const {
        visit_bins(d.angle, d.offset, visit);
        if (d.angle < 2.0 * angle_bin_) visit_bins(d.angle + kPi, -d.offset, visit);
        if (d.angle > kPi - 2.0 * angle_bin_) visit_bins(d.angle - kPi, -d.offset, visit);
    }

private:
    static std::int64_t bin(double value, double width) {
        return static_cast<std::int64_t>(std::floor(value / width));
    }
    static std::uint64_t key(std::int64_t a, std::int64_t o) {
        return (static_cast<std::uint64_t>(a) << 40) ^ static_cast<std::uint64_t>(o);
    }
    template <typename Visit>
    void visit_bins(double angle, double offset, Visit& visit) const {
        const std::int64_t a = bin(angle, angle_bin_);
        const std::int64_t o = bin(offset, offset_bin_);
        for (std::int64_t da = -1; da <= 1; ++da) {
            for (std::int64_t dof = -1; dof <= 1; ++dof) {
                const auto found = bins_.find(key(a + da, o + dof));
                if (found == bins_.end()) continue;
                for (const Index line : found->second) visit(line);
            }
        }
    }
    double angle_bin_;
    double offset_bin_;
    std::unordered_map<std::uint64_t, std::vector<Index>> bins_;
};

struct LineDirections {
    std::vector<Direction> of_line;
    std::vector<Index> by_angle;  // line indices sorted by angle, then rank
};

LineDirections line_directions(const SearchContext& c, const Vec2& centre) {
    const System& s = c.system;
    LineDirections out;
    for (const Line& l : s.lines) {
        out.of_line.push_back(direction_of(point_at(s, l.p1), point_at(s, l.p2), centre));
    }
    for (Index i = 0; i < s.lines.size(); ++i) out.by_angle.push_back(i);
    std::sort(out.by_angle.begin(), out.by_angle.end(), [&](Index a, Index b) {
        const double x = out.of_line[a].angle, y = out.of_line[b].angle;
        return x < y || (x == y && c.frame.line_rank[a] < c.frame.line_rank[b]);
    });
    return out;
}

void axis_aligned(SearchContext& c) {
    for (const Line& l : c.system.lines) {
        c.out.offer(Relation::Horizontal, relation_constraint(ConstraintKind::Horizontal, l.p1, l.p2));
        c.out.offer(Relation::Vertical, relation_constraint(ConstraintKind::Vertical, l.p1, l.p2));
    }
}

// Runs of lines whose angles follow within the tolerance are chained
// pairwise; the first and last lines meet across the wrap at pi.
void parallel_runs(SearchContext& c, const LineDirections& d) {
    const auto& order = d.by_angle;
    for (std::size_t k = 1; k < order.size(); ++k) {
        c.out.offer(Relation::Parallel,
                    relation_constraint(ConstraintKind::Parallel, order[k - 1], order[k]));
    }
    if (order.size() > 2) {
        c.out.offer(Relation::Parallel,
                    relation_constraint(ConstraintKind::Parallel, order.back(), order.front()));
    }
}

// Lines meeting at a point, and for each direction the nearest direction a
// quarter turn away.
void perpendicular_pairs(SearchContext& c, const LineDirections& d) {
    for (const auto& lines : c.index.lines_at_point) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (std::size_t j = i + 1; j < lines.size(); ++j) {
                c.out.offer(Relation::Perpendicular,
                            relation_constraint(ConstraintKind::Perpendicular, lines[i], lines[j]));
            }
        }
    }
    const auto& order = d.by_angle;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k > 0 && d.of_line[order[k]].angle - d.of_line[order[k - 1]].angle <= c.angle_tol) continue;
        double target = d.of_line[order[k]].angle + 0.5 * kPi;
        if (target >= kPi) target -= kPi;
        const auto first = std::lower_bound(order.begin(), order.end(), target - c.angle_tol,
                                            [&](Index line, double a) { return d.of_line[line].angle < a; });
        if (first != order.end()) {
            c.out.offer(Relation::Perpendicular,
                        relation_constraint(ConstraintKind::Perpendicular, order[k], *first));
        }
    }
}

// Lines on one infinite line: the next one by rank is put on it, by one or
// both of its ends. Then the pairs of ends of lines and arcs whose
// perpendicular bisector is a line of the drawing are symmetric about it.
void collinear_and_symmetric(SearchContext& c, const LineDirections& d, const Vec2& centre) {
    const System& s = c.system;
    const double offset_bin = 2.0 * c.length_tol + c.angle_tol * c.frame.size;
    InfiniteLineIndex index(std::max(2.0 * c.angle_tol, 1e-15), std::max(offset_bin, 1e-300));
    for (Index i = 0; i < s.lines.size(); ++i) index.insert(i, d.of_line[i]);

    if (c.out.wants(Relation::PointOnLine)) {
        for (Index i = 0; i < s.lines.size(); ++i) {
            const Index own = c.frame.line_rank[i];
            Index next = i;
            index.near(d.of_line[i], [&](Index j) {
                const Index rank = c.frame.line_rank[j];
                if (rank > own && (next == i || rank < c.frame.line_rank[next])) next = j;
            });
            if (next == i) continue;
            c.out.offer(Relation::PointOnLine, relation_constraint(ConstraintKind::PointOnLine, s.lines[next].p1, i));
            c.out.offer(Relation::PointOnLine, relation_constraint(ConstraintKind::PointOnLine, s.lines[next].p2, i));
        }
    }
    if (!c.out.wants(Relation::Symmetric)) return;
    auto mirrored_about = [&](Index a, Index b, Index own_line) {
        const Vec2 pa = point_at(s, a), pb = point_at(s, b);
        if (!(squared_norm(pb - pa) > 0.0)) return;
        const Vec2 m = 0.5 * (pa + pb);
        const Direction bisector = direction_of(m, m + perp(pb - pa), centre);
        index.near(bisector, [&](Index axis) {
            if (axis == own_line) return;
            c.out.offer(Relation::Symmetric, relation_constraint(ConstraintKind::Symmetry, a, b, axis));
        });
    };
    for (Index i = 0; i < s.lines.size(); ++i) mirrored_about(s.lines[i].p1, s.lines[i].p2, i);
    for (const Arc& arc : s.arcs) mirrored_about(arc.start, arc.end, s.lines.size());
}

}  // namespace

void search_directions(SearchContext& context) {
    const Box& b = context.frame.bounds;
    const Vec2 centre(0.5 * (b.x0 + b.x1), 0.5 * (b.y0 + b.y1));
    axis_aligned(context);
    const LineDirections directions = line_directions(context, centre);
    if (context.out.wants(Relation::Parallel)) parallel_runs(context, directions);
    if (context.out.wants(Relation::Perpendicular)) perpendicular_pairs(context, directions);
    if (context.out.wants(Relation::PointOnLine) || context.out.wants(Relation::Symmetric)) {
        collinear_and_symmetric(context, directions, centre);
    }
}

}  // namespace ovralis::inference
