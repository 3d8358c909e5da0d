#include "inference/drawing_frame.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <tuple>

namespace ovralis::inference {
namespace {

// Positions of the items after sorting them by `key`; equal keys keep index order.
template <typename Key>
std::vector<Index> ranks_by(std::size_t count, Key key) {
    std::vector<Index> order(count);
    std::iota(order.begin(), order.end(), Index{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](Index a, Index b) { return key(a) < key(b); });
    std::vector<Index> rank(count);
    for (std::size_t position = 0; position < count; ++position) rank[order[position]] = position;
    return rank;
}

void extend(Box& box, double x, double y, double margin) {
    box.x0 = std::min(box.x0, x - margin);
    box.y0 = std::min(box.y0, y - margin);
    box.x1 = std::max(box.x1, x + margin);
    box.y1 = std::max(box.y1, y + margin);
}

Box bounds_of(const System& s) {
    Box box{INFINITY, INFINITY, -INFINITY, -INFINITY};
    for (const Point& p : s.points) extend(box, p.x, p.y, 0.0);
    for (const Circle& c : s.circles) {
        const Point& centre = s.points[c.center];
        extend(box, centre.x, centre.y, std::fabs(c.radius));
    }
    if (!(box.x0 <= box.x1)) return Box{};
    return box;
}

}  // namespace

DrawingFrame measure_drawing(const System& s) {
    DrawingFrame frame;
    frame.bounds = bounds_of(s);
    const double diagonal = std::hypot(frame.bounds.x1 - frame.bounds.x0,
                                       frame.bounds.y1 - frame.bounds.y0);
    frame.size = diagonal > 0.0 && std::isfinite(diagonal) ? diagonal : 1.0;
    frame.point_rank = ranks_by(s.points.size(), [&](Index i) {
        return std::make_tuple(s.points[i].x, s.points[i].y);
    });
    const auto& pr = frame.point_rank;
    frame.line_rank = ranks_by(s.lines.size(), [&](Index i) {
        const Line& l = s.lines[i];
        return std::make_tuple(std::min(pr[l.p1], pr[l.p2]), std::max(pr[l.p1], pr[l.p2]));
    });
    frame.circle_rank = ranks_by(s.circles.size(), [&](Index i) {
        return std::make_tuple(pr[s.circles[i].center], s.circles[i].radius);
    });
    frame.arc_rank = ranks_by(s.arcs.size(), [&](Index i) {
        const Arc& a = s.arcs[i];
        return std::make_tuple(pr[a.center], pr[a.start], pr[a.end], a.radius);
    });
    return frame;
}

Index rank_of(const DrawingFrame& frame, EntityKind kind, Index index) {
    switch (kind) {
        case EntityKind::Point: return frame.point_rank[index];
        case EntityKind::Line: return frame.line_rank[index];
        case EntityKind::Circle: return frame.circle_rank[index];
        case EntityKind::Arc: return frame.arc_rank[index];
        case EntityKind::Ellipse:
        case EntityKind::ArcOfEllipse: return index;
    }
    return index;
}

}  // namespace ovralis::inference
