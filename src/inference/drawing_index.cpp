#include "inference/drawing_index.hpp"

#include <cmath>

namespace ovralis::inference {
namespace {

double direction_angle(const Vec2& v) { return std::atan2(v.y(), v.x()); }

// An angle brought into [0, 2 pi).
double wrapped(double angle) {
    double a = std::fmod(angle, kTwoPi);
    if (a < 0.0) a += kTwoPi;
    return a;
}

}  // namespace

DrawingIndex::DrawingIndex(const System& s, const DrawingFrame& frame, double margin)
    : points(frame.bounds, s.points.size()),
      lines(frame.bounds, s.lines.size()),
      rounds(frame.bounds, s.circles.size() + s.arcs.size()),
      lines_at_point(s.points.size()),
      arcs_at_point(s.points.size()) {
    for (Index i = 0; i < s.points.size(); ++i) {
        points.insert(static_cast<std::uint32_t>(i), box_around(s.points[i].x, s.points[i].y, margin));
    }
    for (Index i = 0; i < s.lines.size(); ++i) {
        const Point& a = s.points[s.lines[i].p1];
        const Point& b = s.points[s.lines[i].p2];
        lines.insert(static_cast<std::uint32_t>(i), box_around(a.x, a.y, b.x, b.y, margin));
        lines_at_point[s.lines[i].p1].push_back(i);
        if (s.lines[i].p2 != s.lines[i].p1) lines_at_point[s.lines[i].p2].push_back(i);
    }
    for (Index i = 0; i < s.circles.size(); ++i) {
        rounds.insert(static_cast<std::uint32_t>(i),
                      round_box(s, s.circles[i].center, s.circles[i].radius, margin));
    }
    for (Index i = 0; i < s.arcs.size(); ++i) {
        const Arc& arc = s.arcs[i];
        rounds.insert(static_cast<std::uint32_t>(s.circles.size() + i),
                      round_box(s, arc.center, arc.radius, margin));
        arcs_at_point[arc.start].push_back(i);
        if (arc.end != arc.start) arcs_at_point[arc.end].push_back(i);
    }
}

bool within_sweep(const System& s, const Arc& arc, const Vec2& p, double margin) {
    const Vec2 centre = point_at(s, arc.center);
    const double from = direction_angle(point_at(s, arc.start) - centre);
    const double sweep = wrapped(direction_angle(point_at(s, arc.end) - centre) - from);
    const double at = wrapped(direction_angle(p - centre) - from);
    return at <= sweep + margin || at >= kTwoPi - margin;
}

Box round_box(const System& s, Index center, double radius, double margin) {
    const Point& c = s.points[center];
    return box_around(c.x, c.y, std::fabs(radius) + margin);
}

}  // namespace ovralis::inference
