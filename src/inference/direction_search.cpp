// Directions: lines along the axes, parallel, perpendicular or on one
// infinite line, and pairs of points mirrored about a line.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <utility>
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
    std::vector<Index> figure;    // per line
    std::vector<Index> by_angle;  // line indices sorted by figure, angle, then rank
    std::vector<bool> along_axis;  // per line: horizontal or vertical, and those relations are wanted
};

LineDirections line_directions(const SearchContext& c, const Vec2& centre) {
    const System& s = c.system;
    LineDirections out;
    const bool axes_wanted = c.out.wants(Relation::Horizontal) && c.out.wants(Relation::Vertical);
    for (Index i = 0; i < s.lines.size(); ++i) {
        const Vec2 a = point_at(s, s.lines[i].p1), b = point_at(s, s.lines[i].p2);
        out.of_line.push_back(direction_of(a, b, centre));
        out.figure.push_back(c.figures.of_line(s, i));
        out.along_axis.push_back(axes_wanted && (std::fabs(b.y() - a.y()) <= c.length_tol ||
                                                 std::fabs(b.x() - a.x()) <= c.length_tol));
        out.by_angle.push_back(i);
    }
    auto key = [&](Index i) { return std::make_tuple(out.figure[i], out.of_line[i].angle, c.frame.line_rank[i]); };
    std::sort(out.by_angle.begin(), out.by_angle.end(), [&](Index a, Index b) { return key(a) < key(b); });
    return out;
}

// Lines along the axes; then, after them, points of one figure level with
// each other (hole centres in a row), chained in order along the row.
void axis_aligned(SearchContext& c) {
    const System& s = c.system;
    for (const Line& l : s.lines) {
        c.out.offer(Relation::Horizontal, relation_constraint(ConstraintKind::Horizontal, l.p1, l.p2));
        c.out.offer(Relation::Vertical, relation_constraint(ConstraintKind::Vertical, l.p1, l.p2));
    }
    constexpr std::uint8_t kAfterLines = 1;
    for (const bool level : {true, false}) {
        const Relation relation = level ? Relation::Horizontal : Relation::Vertical;
        if (!c.out.wants(relation)) continue;
        auto across = [&](Index p) { return level ? s.points[p].y : s.points[p].x; };
        std::vector<Index> order(s.points.size());
        for (Index p = 0; p < order.size(); ++p) order[p] = p;
        auto key = [&](Index p) { return std::make_tuple(c.figures.of_point[p], across(p), c.frame.point_rank[p]); };
        std::sort(order.begin(), order.end(), [&](Index a, Index b) { return key(a) < key(b); });
        const ConstraintKind kind = level ? ConstraintKind::Horizontal : ConstraintKind::Vertical;
        for (std::size_t k = 1; k < order.size(); ++k) {
            const Index a = order[k - 1], b = order[k];
            if (c.figures.of_point[a] != c.figures.of_point[b] || across(b) - across(a) > c.length_tol) continue;
            c.out.offer(relation, relation_constraint(kind, a, b), kAfterLines);
        }
    }
}

// Two lines along the axes are parallel or perpendicular through their
// horizontal and vertical relations already (added or implied), so they are
// not offered as pairs: that keeps the pairs of a large drawing drawn on the
// axes, most of all, from tying far-apart lines together.
void offer_pair(SearchContext& c, const LineDirections& d, Relation relation, ConstraintKind kind, Index a, Index b) {
    if (d.along_axis[a] && d.along_axis[b]) return;
    c.out.offer(relation, relation_constraint(kind, a, b));
}

// Runs of lines of one figure whose angles follow within the tolerance are
// chained pairwise; a figure's first and last lines meet across the wrap at pi.
void parallel_runs(SearchContext& c, const LineDirections& d) {
    const auto& order = d.by_angle;
    std::size_t first = 0;
    for (std::size_t k = 1; k <= order.size(); ++k) {
        if (k < order.size() && d.figure[order[k]] == d.figure[order[first]]) {
            offer_pair(c, d, Relation::Parallel, ConstraintKind::Parallel, order[k - 1], order[k]);
            continue;
        }
        if (k - first > 2) offer_pair(c, d, Relation::Parallel, ConstraintKind::Parallel, order[k - 1], order[first]);
        first = k;
    }
}

// Lines meeting at a point, and for each direction of a figure the nearest
// direction a quarter turn away in the same figure.
void perpendicular_pairs(SearchContext& c, const LineDirections& d) {
    for (const auto& lines : c.index.lines_at_point) {
        for (std::size_t i = 0; i < lines.size(); ++i) {
            for (std::size_t j = i + 1; j < lines.size(); ++j) {
                offer_pair(c, d, Relation::Perpendicular, ConstraintKind::Perpendicular, lines[i], lines[j]);
            }
        }
    }
    const auto& order = d.by_angle;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const Index line = order[k];
        if (k > 0 && d.figure[order[k - 1]] == d.figure[line] &&
            d.of_line[line].angle - d.of_line[order[k - 1]].angle <= c.angle_tol) {
            continue;
        }
        double target = d.of_line[line].angle + 0.5 * kPi;
        if (target >= kPi) target -= kPi;
        const auto key = std::make_pair(d.figure[line], target - c.angle_tol);
        const auto found = std::lower_bound(order.begin(), order.end(), key, [&](Index other, const auto& k2) {
            return std::make_pair(d.figure[other], d.of_line[other].angle) < k2;
        });
        if (found != order.end() && d.figure[*found] == d.figure[line]) {
            offer_pair(c, d, Relation::Perpendicular, ConstraintKind::Perpendicular, line, *found);
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
                if (d.figure[j] != d.figure[i]) return;
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
        const Index figure = c.figures.of_point[a];
        const Vec2 pa = point_at(s, a), pb = point_at(s, b);
        if (!(squared_norm(pb - pa) > 0.0)) return;
        const Vec2 m = 0.5 * (pa + pb);
        const Direction bisector = direction_of(m, m + perp(pb - pa), centre);
        index.near(bisector, [&](Index axis) {
            if (axis == own_line || d.figure[axis] != figure) return;
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
