// Which points and rounds a solve must keep apart, and whether two merged.
#include "solver/merge_watch.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace ovralis {
namespace {

using K = ConstraintKind;

constexpr double kApartFloors = 1e3;

double gap(const PlanePoint& p, const PlanePoint& q) { return std::hypot(p.x - q.x, p.y - q.y); }

PlanePoint where(const Point& p) { return {p.x, p.y}; }

// Classes of points under the constraints that make two points one.
class Joins {
public:
    explicit Joins(std::size_t count) : parent_(count) {
        std::iota(parent_.begin(), parent_.end(), Index{0});
    }
    void join(Index a, Index b) { parent_[root(a)] = root(b); }
    Index root(Index i) {
        while (parent_[i] != i) i = parent_[i] = parent_[parent_[i]];
        return i;
    }

private:
    std::vector<Index> parent_;
};

bool near_zero(double value, double floor) { return std::abs(value) <= floor; }

void join_by_constraint(const System& system, const Constraint& c, double floor, Joins& joins) {
    const auto& ix = c.index;
    switch (c.kind) {
        case K::Coincident: joins.join(ix[0], ix[1]); break;
        case K::Distance:
            if (near_zero(c.value[0], floor)) joins.join(ix[0], ix[1]);
            break;
        case K::PointOnLineAt: {
            const Line& line = system.lines[ix[1]];
            if (c.value[0] == 0.0) joins.join(ix[0], line.p1);
            if (c.value[0] == 1.0) joins.join(ix[0], line.p2);
            break;
        }
        case K::Concentric:
            joins.join(system.circles[ix[0]].center, system.circles[ix[1]].center);
            break;
        case K::C2CDistance:
            if (near_zero(c.value[0], floor)) {
                joins.join(system.circles[ix[0]].center, system.circles[ix[1]].center);
            }
            break;
        default: break;
    }
}

std::vector<Index> joined_roots(const System& system, double floor) {
    Joins joins(system.points.size());
    for (const Constraint& c : system.constraints) join_by_constraint(system, c, floor, joins);
    // An ellipse whose focus reaches its centre is a circle, not a collapse.
    for (const Ellipse& e : system.ellipses) joins.join(e.center, e.focus1);
    for (const ArcOfEllipse& e : system.arcs_of_ellipse) joins.join(e.center, e.focus1);
    // The midpoint of two joined points is joined to them.
    for (const Constraint& c : system.constraints) {
        if (c.kind == K::Midpoint && joins.root(c.index[1]) == joins.root(c.index[2])) {
            joins.join(c.index[0], c.index[1]);
        }
    }
    std::vector<Index> roots(system.points.size());
    for (Index i = 0; i < roots.size(); ++i) roots[i] = joins.root(i);
    return roots;
}

// Classes of points on one horizontal (or vertical) line: the joined
// classes, joined further by every constraint of `kind`.
std::vector<Index> aligned_roots(const System& system, const std::vector<Index>& joined,
                                 ConstraintKind kind) {
    Joins joins(system.points.size());
    for (Index i = 0; i < joined.size(); ++i) joins.join(i, joined[i]);
    for (const Constraint& c : system.constraints) {
        if (c.kind == kind) joins.join(c.index[0], c.index[1]);
    }
    std::vector<Index> roots(system.points.size());
    for (Index i = 0; i < roots.size(); ++i) roots[i] = joins.root(i);
    return roots;
}

std::vector<bool> pinned_points(const System& system) {
    std::vector<bool> pinned(system.points.size());
    for (Index i = 0; i < pinned.size(); ++i) pinned[i] = system.points[i].fixed;
    for (const Constraint& c : system.constraints) {
        if (c.kind == K::FixedPoint) pinned[c.index[0]] = true;
    }
    return pinned;
}

// A curve a point lies on: a line, circle or arc, told apart by kind.
struct Curve {
    EntityKind kind = EntityKind::Line;
    Index index = 0;
    bool operator==(const Curve& other) const {
        return kind == other.kind && index == other.index;
    }
};

// The curves the constraints put the points of class `root` on.
std::vector<Curve> curves_through(const System& system, const std::vector<Index>& roots,
                                  Index root, double floor) {
    std::vector<Curve> curves;
    const auto add = [&](Index point, EntityKind kind, Index index) {
        if (roots[point] != root) return;
        const Curve curve{kind, index};
        if (std::find(curves.begin(), curves.end(), curve) == curves.end()) curves.push_back(curve);
    };
    for (Index i = 0; i < system.lines.size(); ++i) {
        add(system.lines[i].p1, EntityKind::Line, i);
        add(system.lines[i].p2, EntityKind::Line, i);
    }
    for (const Constraint& c : system.constraints) {
        const auto& ix = c.index;
        switch (c.kind) {
            case K::PointOnLine:
            case K::PointOnLineAt: add(ix[0], EntityKind::Line, ix[1]); break;
            case K::PointLineDistance:
                if (near_zero(c.value[0], floor)) add(ix[0], EntityKind::Line, ix[1]);
                break;
            case K::LineLineIntersection:
                add(ix[0], EntityKind::Line, ix[1]);
                add(ix[0], EntityKind::Line, ix[2]);
                break;
            case K::PointOnCircle: add(ix[0], EntityKind::Circle, ix[1]); break;
            case K::P2CDistance:
                if (near_zero(c.value[0], floor)) add(ix[0], EntityKind::Circle, ix[1]);
                break;
            case K::PointOnArc: add(ix[0], EntityKind::Arc, ix[1]); break;
            default: break;
        }
    }
    return curves;
}

// How many curves the points of two classes share by the constraints.
std::size_t common_curves(const System& system, const std::vector<Index>& roots, Index a, Index b,
                          double floor) {
    const std::vector<Curve> first = curves_through(system, roots, roots[a], floor);
    const std::vector<Curve> second = curves_through(system, roots, roots[b], floor);
    std::size_t common = 0;
    for (const Curve& curve : first) {
        common += std::find(second.begin(), second.end(), curve) != second.end();
    }
    return common;
}

struct Round {
    Index center = 0;
    double radius = 0.0;
};

std::vector<Round> rounds_of(const System& system) {
    std::vector<Round> rounds;
    rounds.reserve(system.circles.size() + system.arcs.size());
    for (const Circle& c : system.circles) rounds.push_back({c.center, c.radius});
    for (const Arc& a : system.arcs) rounds.push_back({a.center, a.radius});
    return rounds;
}

}  // namespace

MergeWatch::MergeWatch(const System& system, double floor)
    : system_(system),
      floor_(floor),
      joined_root_(joined_roots(system, floor)),
      level_root_(aligned_roots(system, joined_root_, K::Horizontal)),
      plumb_root_(aligned_roots(system, joined_root_, K::Vertical)),
      pinned_(pinned_points(system)) {
    start_.reserve(system.points.size());
    for (const Point& p : system.points) start_.push_back(where(p));
    for (const Round& r : rounds_of(system)) start_radius_.push_back(r.radius);
}

bool MergeWatch::joined_by_constraints(Index a, Index b) const {
    return joined_root_[a] == joined_root_[b] || (pinned_[a] && pinned_[b]);
}

// Two points that share two lines or rounds meet where the curves do (two
// lines), or may (a tangency), by the constraints; a horizontal or vertical
// constraint, directly or through others, puts both on one line too.
bool MergeWatch::on_two_common_curves(Index a, Index b) const {
    const std::size_t aligned =
        (level_root_[a] == level_root_[b] ? 1 : 0) + (plumb_root_[a] == plumb_root_[b] ? 1 : 0);
    return aligned + common_curves(system_, joined_root_, a, b, floor_) >= 2;
}

bool MergeWatch::points_merged() const {
    std::vector<PlanePoint> now;
    now.reserve(system_.points.size());
    for (const Point& p : system_.points) now.push_back(where(p));
    bool merged = false;
    for_each_close_pair(now, floor_, [&](std::size_t a, std::size_t b) {
        if (merged || !(gap(start_[a], start_[b]) > kApartFloors * floor_)) return;
        if (joined_by_constraints(a, b)) return;
        merged = !on_two_common_curves(a, b);
    });
    return merged;
}

bool MergeWatch::rounds_merged() const {
    const std::vector<Round> rounds = rounds_of(system_);
    if (rounds.size() < 2) return false;
    std::vector<PlanePoint> centres;
    centres.reserve(rounds.size());
    for (const Round& r : rounds) centres.push_back(where(system_.points[r.center]));
    const double apart = kApartFloors * floor_;
    bool merged = false;
    for_each_close_pair(centres, floor_, [&](std::size_t i, std::size_t j) {
        const Index a = rounds[i].center;
        const Index b = rounds[j].center;
        if (merged || !(std::abs(rounds[i].radius - rounds[j].radius) <= floor_)) return;
        const bool same_at_start = gap(start_[a], start_[b]) <= apart &&
                                   std::abs(start_radius_[i] - start_radius_[j]) <= apart;
        merged = !same_at_start && !joined_by_constraints(a, b);
    });
    return merged;
}

}  // namespace ovralis
