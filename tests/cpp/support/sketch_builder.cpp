// Builders shared by the C++ tests.
#include "support/sketch_builder.hpp"

namespace ovralis {

Constraint constraint(ConstraintKind kind, std::array<Index, 3> index,
                      std::array<double, 2> value) {
    return Constraint{kind, index, value};
}

namespace {

template <class Entity>
Index append(std::vector<Entity>& list, Entity entity) {
    list.push_back(entity);
    return list.size() - 1;
}

}  // namespace

Index Sketch::point(double x, double y, bool fixed) { return append(points, Point{x, y, fixed}); }

Index Sketch::line(Index p1, Index p2) { return append(lines, Line{p1, p2}); }

Index Sketch::line(double ax, double ay, double bx, double by) {
    const Index a = point(ax, ay);
    return line(a, point(bx, by));
}

Index Sketch::circle(double cx, double cy, double radius) {
    return append(circles, Circle{point(cx, cy), radius, false});
}

Index Sketch::arc(double cx, double cy, double sx, double sy, double ex, double ey, double radius) {
    const Index c = point(cx, cy);
    const Index s = point(sx, sy);
    return append(arcs, Arc{c, s, point(ex, ey), radius, false});
}

Index Sketch::ellipse(double cx, double cy, double fx, double fy, double radmin) {
    const Index c = point(cx, cy);
    return append(ellipses, Ellipse{c, point(fx, fy), radmin, false});
}

Index Sketch::arc_of_ellipse(double cx, double cy, double fx, double fy, double radmin, double sx,
                             double sy, double ex, double ey) {
    const Index c = point(cx, cy);
    const Index f = point(fx, fy);
    const Index s = point(sx, sy);
    return append(arcs_of_ellipse, ArcOfEllipse{c, f, radmin, s, point(ex, ey), false});
}

void Sketch::constrain(ConstraintKind kind, std::array<Index, 3> index,
                       std::array<double, 2> value) {
    constraints.push_back(constraint(kind, index, value));
}

Sketch::operator System() const {
    System system;
    system.points = points;
    system.lines = lines;
    system.circles = circles;
    system.arcs = arcs;
    system.ellipses = ellipses;
    system.arcs_of_ellipse = arcs_of_ellipse;
    system.constraints = constraints;
    return system;
}

}  // namespace ovralis
