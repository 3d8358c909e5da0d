// Corners and arcs of the drawing and the sense they turn in.
#include "solver/turn_watch.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <utility>

#include "system/variable_layout.hpp"

namespace ovralis {
namespace {

constexpr double kClearTurn = 0.1;
constexpr std::size_t kMostWatchedPoints = 2500;
// A turn the other way must be clearer than rounding to count as a flip.
constexpr double kClearFlip = 1e-6;

// The sine of the turn from direction a -> b to direction c -> d; 0 when
// either has no length.
double turn_sine(const System& system, Index a, Index b, Index c, Index d) {
    const Point& pa = system.points[a];
    const Point& pb = system.points[b];
    const Point& pc = system.points[c];
    const Point& pd = system.points[d];
    const double ux = pb.x - pa.x, uy = pb.y - pa.y, vx = pd.x - pc.x, vy = pd.y - pc.y;
    const double lengths = std::hypot(ux, uy) * std::hypot(vx, vy);
    return lengths > 0.0 ? (ux * vy - uy * vx) / lengths : 0.0;
}

// Points made one by coincidences, each named by one representative.
std::vector<Index> coincidence_roots(const System& system) {
    std::vector<Index> parent(system.points.size());
    std::iota(parent.begin(), parent.end(), Index{0});
    const auto root = [&](Index i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    for (const Constraint& c : system.constraints) {
        if (c.kind == ConstraintKind::Coincident) parent[root(c.index[0])] = root(c.index[1]);
    }
    for (Index i = 0; i < parent.size(); ++i) parent[i] = root(i);
    return parent;
}

}  // namespace

TurnWatch::TurnWatch(const System& system) : system_(system) {
    if (system.points.size() > kMostWatchedPoints) return;
    const auto record = [&](Index a, Index b, Index c, Index d) {
        const double sine = turn_sine(system, a, b, c, d);
        if (std::abs(sine) >= kClearTurn) turns_.push_back({a, b, c, d, sine > 0.0});
    };
    // Each line end seen at its meeting point: the end itself (the apex) and
    // the line's other end. Consecutive ends at one meeting point make a
    // corner, which covers every corner of a profile.
    const std::vector<Index> roots = coincidence_roots(system);
    constexpr Index kNone = ~Index{0};
    std::vector<Index> far_end_at(system.points.size(), kNone);  // by meeting point
    for (const Line& line : system.lines) {
        for (const auto& [end, other] : {std::pair{line.p1, line.p2}, std::pair{line.p2, line.p1}}) {
            Index& seen = far_end_at[roots[end]];
            if (seen != kNone) record(end, seen, end, other);
            seen = other;
        }
    }
    for (const Arc& arc : system.arcs) record(arc.center, arc.start, arc.center, arc.end);
    for (const Constraint& c : system.constraints) {
        if (c.kind != ConstraintKind::Angle && c.kind != ConstraintKind::Perpendicular) continue;
        const Line& first = system.lines[c.index[0]];
        const Line& second = system.lines[c.index[1]];
        record(first.p1, first.p2, second.p1, second.p2);
    }
}

bool TurnWatch::flipped() const {
    return std::any_of(turns_.begin(), turns_.end(),
                       [&](const Turn& turn) { return turned_over(turn); });
}

std::size_t TurnWatch::flips() const {
    return static_cast<std::size_t>(std::count_if(
        turns_.begin(), turns_.end(), [&](const Turn& turn) { return turned_over(turn); }));
}

bool TurnWatch::turned_over(const Turn& turn) const {
    const double sine = turn_sine(system_, turn.a, turn.b, turn.c, turn.d);
    return turn.counter_clockwise ? sine < -kClearFlip : sine > kClearFlip;
}

bool TurnWatch::turn_back(Eigen::VectorXd& x) const {
    std::vector<Index> mirrored;
    for (const Turn& turn : turns_) {
        // Corners and arcs turn about one point, the apex, from b to d.
        const Index apex = turn.a;
        if (turn.c != apex || !turned_over(turn)) continue;
        if (std::find(mirrored.begin(), mirrored.end(), apex) != mirrored.end()) continue;
        const std::optional<Eigen::Index> cx = column_of(system_.layout, {ParamKind::PointX, apex});
        const std::optional<Eigen::Index> cy = column_of(system_.layout, {ParamKind::PointY, apex});
        const Point& p = system_.points[apex];
        const Point& b = system_.points[turn.b];
        const Point& d = system_.points[turn.d];
        const double ux = d.x - b.x, uy = d.y - b.y;
        const double chord = ux * ux + uy * uy;
        if (!cx || !cy || !(chord > 0.0)) continue;
        // The foot of the apex on the chord's line, and the apex beyond it.
        const double along = ((p.x - b.x) * ux + (p.y - b.y) * uy) / chord;
        x[*cx] = 2.0 * (b.x + along * ux) - p.x;
        x[*cy] = 2.0 * (b.y + along * uy) - p.y;
        mirrored.push_back(apex);
    }
    return !mirrored.empty();
}

}  // namespace ovralis
