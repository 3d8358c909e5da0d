// Which lengths a solve watches, and whether one of them collapsed.
#include "solver/collapse_watch.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "residual/dimension_measure.hpp"
#include "solver/convergence_judge.hpp"

namespace ovralis {
namespace {

constexpr double kCollapsedShare = 1e-6;
// A watched length below this share of the unit that has also shrunk by the
// watch's factor is collapsing too: descending towards a degenerate answer
// (a slot's end cap swept to nothing between two sides that meet there) a
// method stops where its tolerance is first met, a few floors short of the
// collapse itself.
constexpr double kShrunkUnitShare = 1e-4;
// A geometric error a converged residual cannot hide unless it shrank what
// the error is measured on: a thousandth of the unit (or a milliradian). A
// tangency where the figures already meet is a double root, whose residual
// is the square of its error, so a residual within tol leaves an error of
// the order of its square root, which the refinement then removes.
constexpr double kVisibleError = 1e-3;

double distance(const System& system, Index a, Index b) {
    const Point& p = system.points[a];
    const Point& q = system.points[b];
    return std::hypot(p.x - q.x, p.y - q.y);
}

// The points the constraints make one: joined by a coincidence or a zero
// distance, directly or through others.
class JoinedPoints {
public:
    JoinedPoints(const System& system, double floor) : parent_(system.points.size()) {
        std::iota(parent_.begin(), parent_.end(), Index{0});
        for (const Constraint& c : system.constraints) {
            const bool joins = c.kind == ConstraintKind::Coincident ||
                               (c.kind == ConstraintKind::Distance && std::abs(c.value[0]) <= floor);
            if (joins) parent_[root(c.index[0])] = root(c.index[1]);
        }
    }

    bool joined(Index a, Index b) { return root(a) == root(b); }

private:
    Index root(Index i) {
        while (parent_[i] != i) i = parent_[i] = parent_[parent_[i]];
        return i;
    }
    std::vector<Index> parent_;
};

// Radii a dimension sets to zero.
std::vector<bool> zero_radius(const System& system, ConstraintKind kind, std::size_t count,
                              double floor) {
    std::vector<bool> zero(count, false);
    for (const Constraint& c : system.constraints) {
        if (c.kind == kind && std::abs(c.value[0]) <= floor) zero[c.index[0]] = true;
    }
    return zero;
}

// Whether some dimension asks for a length of at most `small` (and more than
// nothing): then a length that small may be what the user asked for, not a
// collapse a solve stopped short of.
bool asks_for_small_lengths(const System& system, double small) {
    const auto small_dimension = [small](const Constraint& c) {
        const double value = std::abs(c.value[0]);
        return has_dimension(c.kind) && value > 0.0 && value <= small;
    };
    return std::any_of(system.constraints.begin(), system.constraints.end(), small_dimension);
}

}  // namespace

CollapseWatch::CollapseWatch(const System& system, double unit, double shrink)
    : system_(system),
      unit_(unit),
      floor_(kCollapsedShare * unit),
      shrinking_watched_(!asks_for_small_lengths(system, kShrunkUnitShare * unit)),
      merges_(system, floor_) {
    JoinedPoints joined(system, floor_);
    const double shrunk_unit = kShrunkUnitShare * unit;
    const auto watch_pair = [&](Index a, Index b) {
        const double length = distance(system, a, b);
        if (joined.joined(a, b) || !(length > floor_)) return;
        const double least =
            shrinking_watched_ ? std::max(floor_, std::min(shrink * length, shrunk_unit)) : floor_;
        pairs_.push_back({a, b, least});
    };
    for (const Line& line : system.lines) watch_pair(line.p1, line.p2);
    const std::vector<bool> zero_arc =
        zero_radius(system, ConstraintKind::ArcRadius, system.arcs.size(), floor_);
    for (Index i = 0; i < system.arcs.size(); ++i) {
        const Arc& arc = system.arcs[i];
        if (zero_arc[i]) continue;
        watch_pair(arc.center, arc.start);
        watch_pair(arc.center, arc.end);
        // Ends that meet leave an arc of no sweep (or a whole circle), on
        // which a tangency at either end holds for any line through there.
        watch_pair(arc.start, arc.end);
        if (std::abs(arc.radius) > floor_) arcs_.push_back(i);
    }
    const std::vector<bool> zero_circle =
        zero_radius(system, ConstraintKind::CircleRadius, system.circles.size(), floor_);
    for (Index i = 0; i < system.circles.size(); ++i) {
        if (!zero_circle[i] && std::abs(system.circles[i].radius) > floor_) circles_.push_back(i);
    }
}

bool CollapseWatch::collapsed() const {
    const System& system = system_;
    for (const Pair& pair : pairs_) {
        if (!(distance(system, pair.a, pair.b) > pair.least)) return true;
    }
    for (const Index i : circles_) {
        if (!(std::abs(system.circles[i].radius) > floor_)) return true;
    }
    for (const Index i : arcs_) {
        if (!(std::abs(system.arcs[i].radius) > floor_)) return true;
    }
    return false;
}

bool CollapseWatch::holds_only_by_shrinking(double tol) const {
    return shrinking_watched_ &&
           !geometry_holds(system_, std::max(kVisibleError, std::sqrt(tol)), unit_);
}

}  // namespace ovralis
