// The geometry validity checks, one pass per entity list; each finding is a
// warning with a message naming the entity and what is wrong with it.
#include "validation/geometry_checks.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "residual/plane_geometry.hpp"
#include "system/number_text.hpp"

namespace ovralis {
namespace {

// Below this distance a point is taken to sit on another one (arc and ellipse passes).
constexpr double kCoincidence = 1e-8;
// A line whose squared length is below this has collapsed onto one point.
constexpr double kZeroLengthSquared = 1e-20;

std::string idx(Index index) { return std::to_string(index); }
std::string fixed6(double value) { return format_fixed(value, 6); }

double distance(const Point& a, const Point& b) { return hypot_norm(position(a) - position(b)); }

// Passes 1 to 4 share one shape: a size (radius or radmin) that must be positive.
// A NaN size compares false and is deliberately not reported.
template <typename Entity, typename Size>
void check_sizes(const std::vector<Entity>& list, Size size, const std::string& entity_word,
                 const std::string& size_word, std::vector<GeometryWarning>& out) {
    for (Index i = 0; i < list.size(); ++i) {
        const double value = size(list[i]);
        if (value <= 0.0) {
            out.push_back({WarningCategory::NonPositiveSize, i,
                           entity_word + " " + idx(i) + " has non-positive " + size_word + " (" +
                               fixed6(value) + ")"});
        }
    }
}

void check_line_lengths(const System& system, std::vector<GeometryWarning>& out) {
    for (Index i = 0; i < system.lines.size(); ++i) {
        const Line& line = system.lines[i];
        const Vec2 d = position(system.points[line.p2]) - position(system.points[line.p1]);
        if (squared_norm(d) < kZeroLengthSquared) {
            out.push_back({WarningCategory::ZeroLengthLine, i,
                           "Line " + idx(i) + " has zero length (points " + idx(line.p1) + " and " +
                               idx(line.p2) + " coincide)"});
        }
    }
}

// An arc's start and end must lie on its radius and away from its centre. A point
// on the centre makes the arc's angles meaningless, so nothing more is measured then.
void check_arc_points(const System& system, std::vector<GeometryWarning>& out) {
    for (Index i = 0; i < system.arcs.size(); ++i) {
        const Arc& arc = system.arcs[i];
        const Point& center = system.points[arc.center];
        const double ds = distance(system.points[arc.start], center);
        const double de = distance(system.points[arc.end], center);
        const double r = arc.radius;
        const double tol = std::max(r, 1.0) * 1e-8;
        const std::string prefix = "Arc " + idx(i);
        auto warn = [&](std::string message) {
            out.push_back({WarningCategory::ArcInconsistent, i, prefix + std::move(message)});
        };

        if (ds < kCoincidence) {
            warn(" start point (point " + idx(arc.start) + ") coincides with center (point " +
                 idx(arc.center) + ")");
            continue;
        }
        if (de < kCoincidence) {
            warn(" end point (point " + idx(arc.end) + ") coincides with center (point " +
                 idx(arc.center) + ")");
            continue;
        }
        if (std::abs(ds - r) > tol) {
            warn(" start point (point " + idx(arc.start) + ") is not on the arc radius (distance=" +
                 fixed6(ds) + ", radius=" + fixed6(r) + ")");
        }
        if (std::abs(de - r) > tol) {
            warn(" end point (point " + idx(arc.end) + ") is not on the arc radius (distance=" +
                 fixed6(de) + ", radius=" + fixed6(r) + ")");
        }
    }
}

// The centre-to-focus distance stands in for the semi-major axis; an ellipse is
// only well formed when it is non-zero and strictly greater than radmin.
void check_ellipse_axes(const System& system, std::vector<GeometryWarning>& out) {
    for (Index i = 0; i < system.ellipses.size(); ++i) {
        const Ellipse& ellipse = system.ellipses[i];
        const double a = distance(system.points[ellipse.focus1], system.points[ellipse.center]);
        const double b = ellipse.radmin;
        const std::string prefix = "Ellipse " + idx(i);
        auto warn = [&](std::string message) {
            out.push_back({WarningCategory::EllipseInconsistent, i, prefix + std::move(message)});
        };

        if (a < kCoincidence) {
            warn(" focus (point " + idx(ellipse.focus1) + ") coincides with center (point " +
                 idx(ellipse.center) + "): semi-major axis a ≈ 0, degenerate");
        } else if (std::abs(a - b) < std::max(a, 1.0) * 1e-8) {
            warn(" semi-major axis (" + fixed6(a) + ") equals radmin (" + fixed6(b) +
                 "): degenerate (circular, not elliptical)");
        } else if (b > a) {
            warn(" radmin (" + fixed6(b) + ") > semi-major axis (" + fixed6(a) +
                 "): invalid (would require imaginary focal distance)");
        }
    }
}

}  // namespace

std::vector<GeometryWarning> check_geometry(const System& system) {
    std::vector<GeometryWarning> warnings;
    check_sizes(
        system.circles, [](const Circle& c) { return c.radius; }, "Circle", "radius", warnings);
    check_sizes(
        system.arcs, [](const Arc& a) { return a.radius; }, "Arc", "radius", warnings);
    check_sizes(
        system.ellipses, [](const Ellipse& e) { return e.radmin; }, "Ellipse", "radmin", warnings);
    check_sizes(
        system.arcs_of_ellipse, [](const ArcOfEllipse& a) { return a.radmin; }, "ArcOfEllipse",
        "radmin", warnings);
    check_line_lengths(system, warnings);
    check_arc_points(system, warnings);
    check_ellipse_axes(system, warnings);
    return warnings;
}

}  // namespace ovralis
