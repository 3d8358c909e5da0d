#include "expression/measures.hpp"

#include <cmath>

#include "residual/plane_geometry.hpp"
#include "system/references.hpp"

namespace ovralis {
namespace {

constexpr double kDegreesPerRadian = 180.0 / kPi;

Vec2 point_at(const System& s, Index p) { return position(s.points[p]); }

void add(MeasureGradient& g, Parameter parameter, double partial) {
    g.parameters[g.count] = parameter;
    g.partials[g.count] = partial;
    ++g.count;
}

void add_point(MeasureGradient& g, Index point, const Vec2& partial) {
    add(g, {ParamKind::PointX, point}, partial.x());
    add(g, {ParamKind::PointY, point}, partial.y());
}

// |a - b| times the unit, and its gradient.
MeasureGradient separation(const System& s, Index a, Index b) {
    MeasureGradient g;
    const Vec2 d = point_at(s, a) - point_at(s, b);
    const double n = norm(d);
    g.value = n * s.length_unit;
    if (n < kMinLength) return g;
    const Vec2 unit_direction = d * (s.length_unit / n);
    add_point(g, a, unit_direction);
    add_point(g, b, -unit_direction);
    return g;
}

MeasureGradient coordinate(const System& s, Index point, ParamKind kind) {
    MeasureGradient g;
    const Point& p = s.points[point];
    g.value = (kind == ParamKind::PointX ? p.x : p.y) * s.length_unit;
    add(g, {kind, point}, s.length_unit);
    return g;
}

MeasureGradient radius_of(double radius, Parameter parameter, double unit) {
    MeasureGradient g;
    g.value = radius * unit;
    add(g, parameter, unit);
    return g;
}

// theta = atan2(cross(u, v), dot(u, v)): d theta = (dot dcross - cross ddot) / (cross^2 + dot^2).
MeasureGradient line_angle(const System& s, Index first, Index second) {
    MeasureGradient g;
    const Line& l1 = s.lines[first];
    const Line& l2 = s.lines[second];
    const Vec2 u = point_at(s, l1.p2) - point_at(s, l1.p1);
    const Vec2 v = point_at(s, l2.p2) - point_at(s, l2.p1);
    if (norm(u) < kMinLength || norm(v) < kMinLength) return g;
    const double c = cross(u, v);
    const double d = dot(u, v);
    g.value = std::atan2(c, d) * kDegreesPerRadian;
    const double scale = kDegreesPerRadian / (c * c + d * d);
    const Vec2 wrt_u = (perp(v) * d - v * c) * scale;
    const Vec2 wrt_v = (-perp(u) * d - u * c) * scale;
    add_point(g, l1.p2, wrt_u);
    add_point(g, l1.p1, -wrt_u);
    add_point(g, l2.p2, wrt_v);
    add_point(g, l2.p1, -wrt_v);
    return g;
}

}  // namespace

MeasureGradient measure_gradient(const System& s, const ExpressionNode& node) {
    const Index a = node.entity[0];
    switch (node.op) {
        case Operation::Distance: return separation(s, a, node.entity[1]);
        case Operation::Length: return separation(s, s.lines[a].p2, s.lines[a].p1);
        case Operation::Radius:
            return radius_of(s.circles[a].radius, {ParamKind::CircleRadius, a}, s.length_unit);
        case Operation::ArcRadius:
            return radius_of(s.arcs[a].radius, {ParamKind::ArcRadius, a}, s.length_unit);
        case Operation::Angle: return line_angle(s, a, node.entity[1]);
        case Operation::PointX: return coordinate(s, a, ParamKind::PointX);
        case Operation::PointY: return coordinate(s, a, ParamKind::PointY);
        default: return {};
    }
}

double measure_value(const System& s, const ExpressionNode& node) {
    const Index a = node.entity[0];
    switch (node.op) {
        case Operation::Distance:
            return norm(point_at(s, a) - point_at(s, node.entity[1])) * s.length_unit;
        case Operation::Length:
            return norm(point_at(s, s.lines[a].p2) - point_at(s, s.lines[a].p1)) * s.length_unit;
        case Operation::Radius: return s.circles[a].radius * s.length_unit;
        case Operation::ArcRadius: return s.arcs[a].radius * s.length_unit;
        case Operation::PointX: return s.points[a].x * s.length_unit;
        case Operation::PointY: return s.points[a].y * s.length_unit;
        default: return measure_gradient(s, node).value;
    }
}

bool measure_references_exist(const System& s, const ExpressionNode& node) {
    const NamedOperation& named = *operation_name(node.op);
    const std::size_t count = entity_count(s, measured_entity(node.op));
    for (std::uint8_t k = 0; k < named.arguments; ++k) {
        if (node.entity[k] >= count) return false;
    }
    if (measured_entity(node.op) != EntityKind::Line) return true;
    // A line's points must exist too.
    for (std::uint8_t k = 0; k < named.arguments; ++k) {
        const Line& line = s.lines[node.entity[k]];
        if (line.p1 >= s.points.size() || line.p2 >= s.points.size()) return false;
    }
    return true;
}

}  // namespace ovralis
