// Draws a sketch as an SVG document (see svg_writer.hpp).

#include "render/svg_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <utility>

#include "render/svg_marks.hpp"

namespace ovralis {
namespace {

using svg::append;
using svg::Pixel;

constexpr double kTwoPi = 2.0 * std::numbers::pi;

constexpr const char* kInk = "#222222";
constexpr const char* kFixedInk = "#1565c0";
constexpr const char* kFreeInk = "#f57c00";
constexpr const char* kConflictInk = "#d32f2f";
constexpr const char* kGroupInk = "#8e24aa";
constexpr const char* kLabelInk = "#1565c0";

struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

Vec2 operator+(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
Vec2 operator-(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
Vec2 operator*(double s, Vec2 a) { return {s * a.x, s * a.y}; }
double length(Vec2 a) { return std::hypot(a.x, a.y); }
Vec2 polar(double r, double angle) { return {r * std::cos(angle), r * std::sin(angle)}; }
bool finite(double v) { return std::isfinite(v); }

// The store's point at `index`, or nothing when it names no point or is not finite.
std::optional<Vec2> point_at(const System& system, Index index) {
    if (index >= system.points.size()) return std::nullopt;
    const Point& p = system.points[index];
    if (!finite(p.x) || !finite(p.y)) return std::nullopt;
    return Vec2{p.x, p.y};
}

struct CircleShape {
    Vec2 center;
    double radius;
};

// A counter-clockwise sweep from `start` (radians) of `sweep` in [0, 2π).
struct ArcShape {
    Vec2 center;
    double radius;
    double start;
    double sweep;
};

struct EllipseShape {
    Vec2 center;
    double major;     // semi-major axis
    double minor;     // semi-minor axis
    double rotation;  // direction of the major axis (radians, towards focus1)
};

struct EllipseArcShape {
    EllipseShape ellipse;
    double start;  // polar angles about the centre, as for ArcShape
    double sweep;
};

std::optional<CircleShape> circle_shape(const System& system, Index index) {
    if (index >= system.circles.size()) return std::nullopt;
    const Circle& c = system.circles[index];
    const auto center = point_at(system, c.center);
    if (!center || !finite(c.radius)) return std::nullopt;
    return CircleShape{*center, std::abs(c.radius)};
}

double turn_from(double from, double to) {
    const double turn = std::fmod(to - from, kTwoPi);
    return turn < 0.0 ? turn + kTwoPi : turn;
}

// An arc keeps its radius apart from its endpoints; an arc added without one
// (radius 0) is drawn through its start point.
std::optional<ArcShape> arc_shape(const System& system, Index index) {
    if (index >= system.arcs.size()) return std::nullopt;
    const Arc& a = system.arcs[index];
    const auto center = point_at(system, a.center);
    const auto start = point_at(system, a.start);
    const auto end = point_at(system, a.end);
    if (!center || !start || !end || !finite(a.radius)) return std::nullopt;
    const Vec2 u = *start - *center;
    const Vec2 v = *end - *center;
    const double radius = a.radius != 0.0 ? std::abs(a.radius) : length(u);
    const double from = std::atan2(u.y, u.x);
    return ArcShape{*center, radius, from, turn_from(from, std::atan2(v.y, v.x))};
}

std::optional<EllipseShape> ellipse_shape(const System& system, Index center_index,
                                          Index focus_index, double radmin) {
    const auto center = point_at(system, center_index);
    const auto focus = point_at(system, focus_index);
    if (!center || !focus || !finite(radmin)) return std::nullopt;
    const Vec2 to_focus = *focus - *center;
    const double focal = length(to_focus);
    return EllipseShape{*center, std::hypot(focal, radmin), std::abs(radmin),
                        std::atan2(to_focus.y, to_focus.x)};
}

std::optional<EllipseShape> ellipse_shape(const System& system, Index index) {
    if (index >= system.ellipses.size()) return std::nullopt;
    const Ellipse& e = system.ellipses[index];
    return ellipse_shape(system, e.center, e.focus1, e.radmin);
}

std::optional<EllipseArcShape> ellipse_arc_shape(const System& system, Index index) {
    if (index >= system.arcs_of_ellipse.size()) return std::nullopt;
    const ArcOfEllipse& a = system.arcs_of_ellipse[index];
    const auto ellipse = ellipse_shape(system, a.center, a.focus1, a.radmin);
    const auto start = point_at(system, a.start);
    const auto end = point_at(system, a.end);
    if (!ellipse || !start || !end) return std::nullopt;
    const Vec2 u = *start - ellipse->center;
    const Vec2 v = *end - ellipse->center;
    const double from = std::atan2(u.y, u.x);
    return EllipseArcShape{*ellipse, from, turn_from(from, std::atan2(v.y, v.x))};
}

// The point of the ellipse on the ray from its centre at polar angle `angle`.
Vec2 ellipse_point(const EllipseShape& e, double angle) {
    const double local = angle - e.rotation;
    const double c = std::cos(local) / e.major;
    const double s = std::sin(local) / e.minor;
    const double r = 1.0 / std::hypot(c, s);
    return e.center + polar(r, angle);
}

// ---- the fitted view ----

struct Bounds {
    double min_x = std::numeric_limits<double>::infinity();
    double min_y = std::numeric_limits<double>::infinity();
    double max_x = -std::numeric_limits<double>::infinity();
    double max_y = -std::numeric_limits<double>::infinity();

    void add(Vec2 p) {
        min_x = std::min(min_x, p.x);
        min_y = std::min(min_y, p.y);
        max_x = std::max(max_x, p.x);
        max_y = std::max(max_y, p.y);
    }
    void add_box(Vec2 center, double half_width, double half_height) {
        add({center.x - half_width, center.y - half_height});
        add({center.x + half_width, center.y + half_height});
    }
    bool empty() const { return min_x > max_x; }
};

// An arc reaches past its endpoints only where it crosses an axis direction.
void add_arc(Bounds& bounds, const ArcShape& arc) {
    bounds.add(arc.center + polar(arc.radius, arc.start));
    bounds.add(arc.center + polar(arc.radius, arc.start + arc.sweep));
    for (int quarter = 0; quarter < 4; ++quarter) {
        const double axis = quarter * std::numbers::pi / 2.0;
        if (turn_from(arc.start, axis) <= arc.sweep)
            bounds.add(arc.center + polar(arc.radius, axis));
    }
}

void add_ellipse(Bounds& bounds, const EllipseShape& e) {
    const double c = std::cos(e.rotation);
    const double s = std::sin(e.rotation);
    bounds.add_box(e.center, std::hypot(e.major * c, e.minor * s),
                   std::hypot(e.major * s, e.minor * c));
}

Bounds drawing_bounds(const System& system) {
    Bounds bounds;
    for (Index i = 0; i < system.points.size(); ++i) {
        if (const auto p = point_at(system, i)) bounds.add(*p);
    }
    for (Index i = 0; i < system.circles.size(); ++i) {
        if (const auto c = circle_shape(system, i)) bounds.add_box(c->center, c->radius, c->radius);
    }
    for (Index i = 0; i < system.arcs.size(); ++i) {
        if (const auto a = arc_shape(system, i)) add_arc(bounds, *a);
    }
    for (Index i = 0; i < system.ellipses.size(); ++i) {
        if (const auto e = ellipse_shape(system, i)) add_ellipse(bounds, *e);
    }
    // Arcs of ellipse are bounded by their whole ellipse.
    for (Index i = 0; i < system.arcs_of_ellipse.size(); ++i) {
        if (const auto a = ellipse_arc_shape(system, i)) add_ellipse(bounds, a->ellipse);
    }
    return bounds;
}

// World to pixel mapping: uniform scale, drawing centred inside the margin, y up.
struct View {
    double width;
    double height;
    double scale;
    Vec2 world_center;

    Vec2 pixel(Vec2 p) const {
        return {width / 2.0 + (p.x - world_center.x) * scale,
                height / 2.0 - (p.y - world_center.y) * scale};
    }
};

// `margin` is the options' margin plus whatever band the annotations need.
View fit_view(const Bounds& bounds, const SvgOptions& options, double margin) {
    double span_x = bounds.empty() ? 0.0 : bounds.max_x - bounds.min_x;
    double span_y = bounds.empty() ? 0.0 : bounds.max_y - bounds.min_y;
    // A drawing flat in one direction takes the other's span there, so it is
    // shown in a square; a single point or nothing gets a unit square.
    if (span_x == 0.0) span_x = span_y;
    if (span_y == 0.0) span_y = span_x;
    if (span_x == 0.0) span_x = span_y = 1.0;
    const Vec2 center = bounds.empty() ? Vec2{}
                                       : Vec2{(bounds.min_x + bounds.max_x) / 2.0,
                                              (bounds.min_y + bounds.max_y) / 2.0};
    const double inner_width = options.width - 2.0 * margin;
    double scale = inner_width / span_x;
    double height = span_y * scale + 2.0 * margin;
    if (options.height) {
        height = *options.height;
        scale = std::min(scale, (height - 2.0 * margin) / span_y);
    }
    return View{options.width, height, scale, center};
}

// The box the picture shows: the caller's, or the drawing's own.
Bounds shown_bounds(const System& system, const SvgOptions& options) {
    if (!options.bounds) return drawing_bounds(system);
    const auto& [min_x, min_y, max_x, max_y] = *options.bounds;
    Bounds bounds;
    bounds.add({min_x, min_y});
    bounds.add({max_x, max_y});
    return bounds;
}

// ---- text ----

// A constraint's own value as written by its author: at most six significant digits.
std::string value_text(double value) {
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6).ptr;
    return std::string(buffer, end);
}

// A value after its symbol: "R2.5", "L10". (Appended rather than added to the
// literal, which GCC 12 misreads as overlapping copies.)
std::string value_text(std::string_view symbol, double value) {
    std::string text(symbol);
    text += value_text(value);
    return text;
}

// ---- dimension labels ----

struct Label {
    std::string text;
    Vec2 anchor;  // world position the text is centred above
};

std::optional<Vec2> midpoint_of(const System& system, Index p1, Index p2) {
    const auto a = point_at(system, p1);
    const auto b = point_at(system, p2);
    if (!a || !b) return std::nullopt;
    return 0.5 * (*a + *b);
}

std::optional<Vec2> line_midpoint(const System& system, Index line) {
    if (line >= system.lines.size()) return std::nullopt;
    return midpoint_of(system, system.lines[line].p1, system.lines[line].p2);
}

std::optional<Label> label(std::string text, std::optional<Vec2> anchor) {
    if (!anchor) return std::nullopt;
    return Label{std::move(text), *anchor};
}

std::optional<Vec2> circle_top(const System& system, Index circle) {
    const auto c = circle_shape(system, circle);
    if (!c) return std::nullopt;
    return c->center + Vec2{0.0, c->radius};
}

std::optional<Vec2> arc_middle(const System& system, Index arc) {
    const auto a = arc_shape(system, arc);
    if (!a) return std::nullopt;
    return a->center + polar(a->radius, a->start + a->sweep / 2.0);
}

std::optional<Vec2> ellipse_top(const System& system, Index ellipse) {
    const auto e = ellipse_shape(system, ellipse);
    if (!e) return std::nullopt;
    return ellipse_point(*e, e->rotation + std::numbers::pi / 2.0);
}

// A bound constraint's label names each real field, a bound one with its
// expression and value: "d = 2*w (12.5)", "x = a (3), y = 2".
std::string bound_label_text(const System& system, Index k) {
    const Constraint& c = system.constraints[k];
    const KindInfo& info = kind_info(c.kind);
    std::string text;
    for (std::uint8_t f = 0; f < info.field_count; ++f) {
        const FieldSpec& field = info.fields[f];
        if (field.type != FieldType::Real) continue;
        if (!text.empty()) text += ", ";
        text.append(field.name).append(" = ");
        const auto bound = std::find_if(system.bindings.begin(), system.bindings.end(),
                                        [&](const Binding& b) {
                                            return b.constraint == k && b.slot == field.slot;
                                        });
        if (bound == system.bindings.end()) {
            text += value_text(c.value[field.slot]);
        } else {
            text.append(bound->text).append(" (").append(value_text(c.value[field.slot])).append(")");
        }
    }
    return text;
}

bool is_bound(const System& system, Index k) {
    return std::any_of(system.bindings.begin(), system.bindings.end(),
                       [k](const Binding& b) { return b.constraint == k; });
}

// The label of a dimensional constraint; nothing for the purely geometric kinds.
std::optional<Label> dimension_label(const System& system, const Constraint& c) {
    const auto& i = c.index;
    const double v = c.value[0];
    switch (c.kind) {
        case ConstraintKind::Distance: return label(value_text(v), midpoint_of(system, i[0], i[1]));
        case ConstraintKind::Angle: return label(value_text(v) + "°", line_midpoint(system, i[1]));
        case ConstraintKind::AngleBetweenPoints:
            return label(value_text(v) + "°", point_at(system, i[1]));
        case ConstraintKind::PointLineDistance: return label(value_text(v), point_at(system, i[0]));
        case ConstraintKind::CircleRadius:
            return label(value_text("R", v), circle_top(system, i[0]));
        case ConstraintKind::ArcRadius: return label(value_text("R", v), arc_middle(system, i[0]));
        case ConstraintKind::ArcSweepAngle:
            return label(value_text(v) + "°", arc_middle(system, i[0]));
        case ConstraintKind::ArcLength: return label(value_text("L", v), arc_middle(system, i[0]));
        case ConstraintKind::C2CDistance: return label(value_text(v), circle_top(system, i[0]));
        case ConstraintKind::P2CDistance: return label(value_text(v), point_at(system, i[0]));
        case ConstraintKind::EllipseRadmin:
            return label(value_text("b", v), ellipse_top(system, i[0]));
        case ConstraintKind::EllipseFocusDistance:
            return label(value_text("2c", v), ellipse_top(system, i[0]));
        case ConstraintKind::FixedPoint:
            return label(value_text("(", v) + ", " + value_text(c.value[1]) + ")",
                         point_at(system, i[0]));
        case ConstraintKind::PointOnLineAt:
            return label(value_text("t=", v), point_at(system, i[0]));
        case ConstraintKind::Horizontal:
        case ConstraintKind::Vertical:
        case ConstraintKind::Coincident:
        case ConstraintKind::PointOnLine:
        case ConstraintKind::Parallel:
        case ConstraintKind::Perpendicular:
        case ConstraintKind::EqualLength:
        case ConstraintKind::PointOnCircle:
        case ConstraintKind::LineCircleTangent:
        case ConstraintKind::CircleCircleTangent:
        case ConstraintKind::CircleCircleTangentInternal:
        case ConstraintKind::Midpoint:
        case ConstraintKind::EqualRadius:
        case ConstraintKind::Concentric:
        case ConstraintKind::Symmetry:
        case ConstraintKind::LineLineIntersection:
        case ConstraintKind::PointOnArc:
        case ConstraintKind::LineArcTangent:
        case ConstraintKind::ArcArcTangent:
        case ConstraintKind::ArcArcTangentInternal:
        case ConstraintKind::ArcCircleTangent:
        case ConstraintKind::ArcCircleTangentInternal:
        case ConstraintKind::LineArcStartTangent:
        case ConstraintKind::LineArcEndTangent:
        case ConstraintKind::PointOnEllipse:
        case ConstraintKind::EllipseTangentLine:
        case ConstraintKind::EqualMajorAxes:
        case ConstraintKind::EqualMinorAxes:
        case ConstraintKind::PointOnArcOfEllipse:
        case ConstraintKind::EqualLineLength: return std::nullopt;
    }
    return std::nullopt;
}

// ---- colours ----

// Per entity list, the colour each entity is drawn in (nullptr: the default ink).
struct EntityInks {
    std::vector<const char*> points, lines, circles, arcs, ellipses, arcs_of_ellipse;

    explicit EntityInks(const System& system)
        : points(system.points.size()),
          lines(system.lines.size()),
          circles(system.circles.size()),
          arcs(system.arcs.size()),
          ellipses(system.ellipses.size()),
          arcs_of_ellipse(system.arcs_of_ellipse.size()) {}

    std::vector<const char*>& of(EntityKind kind) {
        switch (kind) {
            case EntityKind::Point: return points;
            case EntityKind::Line: return lines;
            case EntityKind::Circle: return circles;
            case EntityKind::Arc: return arcs;
            case EntityKind::Ellipse: return ellipses;
            case EntityKind::ArcOfEllipse: return arcs_of_ellipse;
        }
        return points;
    }
};

void paint(std::vector<const char*>& inks, const std::vector<Index>& indices, const char* ink) {
    for (const Index i : indices) {
        if (i < inks.size()) inks[i] = ink;
    }
}

// Paints every entity named by the constraints at `indices`.
void paint_constraints(EntityInks& inks, const System& system, const std::vector<Index>& indices,
                       const char* ink) {
    for (const Index k : indices) {
        if (k >= system.constraints.size()) continue;
        const Constraint& c = system.constraints[k];
        const KindInfo& info = kind_info(c.kind);
        for (std::size_t f = 0; f < info.field_count; ++f) {
            const auto entity = entity_kind_of(info.fields[f].type);
            if (!entity) continue;
            auto& list = inks.of(*entity);
            const Index target = c.index[info.fields[f].slot];
            if (target < list.size()) list[target] = ink;
        }
    }
}

// Free entities first, so that a conflict's colours win where both apply.
EntityInks entity_inks(const System& system, const SvgHighlights& highlights) {
    EntityInks inks(system);
    paint(inks.points, highlights.free_points, kFreeInk);
    paint(inks.circles, highlights.free_circles, kFreeInk);
    paint(inks.arcs, highlights.free_arcs, kFreeInk);
    paint_constraints(inks, system, highlights.conflict_group, kGroupInk);
    paint_constraints(inks, system, highlights.conflicting, kConflictInk);
    return inks;
}

std::vector<const char*> constraint_inks(const System& system, const SvgHighlights& highlights) {
    std::vector<const char*> inks(system.constraints.size(), kLabelInk);
    paint(inks, highlights.conflict_group, kGroupInk);
    paint(inks, highlights.conflicting, kConflictInk);
    return inks;
}

// ---- annotations: dimensions and glyphs ----

constexpr double kGlyphOffset = 13.0;   // pixels from the entity to the glyph's centre
constexpr double kGlyphSpacing = 18.0;  // pixels between glyphs sharing one entity
constexpr double kAngleRadius = 32.0;   // pixels from the vertex to an angle's arc
constexpr Pixel kUp{0.0, -1.0};         // the way a plain value steps aside (y down)
// Room kept inside the margin for dimensions standing off the drawing's edge.
constexpr double kAnnotationBand = 40.0;

double pixel_length(Pixel a) { return std::hypot(a.x, a.y); }
Pixel pixel_unit(Pixel a) { return (1.0 / pixel_length(a)) * a; }
Pixel perpendicular(Pixel a) { return {-a.y, a.x}; }
double dot(Pixel a, Pixel b) { return a.x * b.x + a.y * b.y; }

// Draws each constraint's dimension or glyphs, in pixel space. Dimensions stand
// off the geometry away from the drawing's middle, glyphs towards it, so the
// two rarely meet; glyphs sharing an entity are spread along it.
class Annotator {
public:
    Annotator(const System& system, const View& view, Pixel middle)
        : system_(system), view_(view), middle_(middle) {
        for (Index i = 0; i < system.lines.size(); ++i) {
            const Line& l = system.lines[i];
            line_between_.emplace(std::minmax(l.p1, l.p2), i);
        }
    }

    // The marks of constraint `k`, or nothing when it has none to draw. The
    // text is the annotator's own, reused for the next constraint.
    const std::string& marks(Index k, const char* ink) {
        out_.clear();
        const Constraint& c = system_.constraints[k];
        const std::string text = is_bound(system_, k) ? bound_label_text(system_, k) : dimension_text(c);
        if (!dimension(c, text, ink)) glyphs(c, ink);
        return out_;
    }

private:
    using K = ConstraintKind;

    Pixel pixel(Vec2 world) const {
        const Vec2 p = view_.pixel(world);
        return {p.x, p.y};
    }
    std::optional<Pixel> point(Index i) const {
        const auto p = point_at(system_, i);
        if (!p) return std::nullopt;
        return pixel(*p);
    }
    // The line's end points in pixels, when it has two distinct ones.
    std::optional<std::pair<Pixel, Pixel>> line(Index i) const {
        if (i >= system_.lines.size()) return std::nullopt;
        const auto a = point(system_.lines[i].p1);
        const auto b = point(system_.lines[i].p2);
        if (!a || !b || pixel_length(*b - *a) < 1.0) return std::nullopt;
        return std::pair{*a, *b};
    }
    // A circle or an arc in pixels: centre and radius.
    std::optional<std::pair<Pixel, double>> round(std::optional<Vec2> center, double radius) const {
        if (!center) return std::nullopt;
        return std::pair{pixel(*center), radius * view_.scale};
    }
    std::optional<std::pair<Pixel, double>> circle(Index i) const {
        const auto c = circle_shape(system_, i);
        return c ? round(c->center, c->radius) : std::nullopt;
    }
    std::optional<std::pair<Pixel, double>> arc(Index i) const {
        const auto a = arc_shape(system_, i);
        return a ? round(a->center, a->radius) : std::nullopt;
    }

    // The unit normal of the segment a-b that points away from the drawing's middle.
    Pixel outward(Pixel a, Pixel b) const {
        const Pixel n = pixel_unit(perpendicular(b - a));
        return dot(0.5 * (a + b) - middle_, n) < 0.0 ? -1.0 * n : n;
    }

    // ---- dimensions ----

    bool dimension(const Constraint& c, const std::string& text, const char* ink) {
        const auto& i = c.index;
        switch (c.kind) {
            case K::Distance: return distance(point(i[0]), point(i[1]), text, ink);
            case K::PointLineDistance: return point_to_line(i[0], i[1], text, ink);
            case K::Angle: return line_angle(i[0], i[1], text, ink);
            case K::AngleBetweenPoints: return vertex_angle(i[0], i[1], i[2], text, ink);
            case K::CircleRadius: return radius(circle(i[0]), -std::numbers::pi / 4.0, text, ink);
            case K::ArcRadius: {
                const auto a = arc_shape(system_, i[0]);
                return a && radius(arc(i[0]), -(a->start + a->sweep / 2.0), text, ink);
            }
            default: break;
        }
        if (const auto l = dimension_label(system_, c)) {
            svg::value_text(out_, places_, pixel(l->anchor) + Pixel{0.0, -12.0}, kUp, text,
                            ink);
            return true;
        }
        return false;
    }

    static std::string dimension_text(const Constraint& c) {
        switch (c.kind) {
            case K::Angle:
            case K::AngleBetweenPoints: return value_text(c.value[0]) + "°";
            case K::CircleRadius:
            case K::ArcRadius: return value_text("R", c.value[0]);
            default: return value_text(c.value[0]);
        }
    }

    bool distance(std::optional<Pixel> a, std::optional<Pixel> b, const std::string& text,
                  const char* ink) {
        if (!a || !b) return false;
        if (pixel_length(*b - *a) < 1.0) {
            svg::value_text(out_, places_, *a + Pixel{0.0, -14.0}, kUp, text, ink);
        } else {
            svg::linear_dimension(out_, places_, *a, *b, outward(*a, *b), svg::kDimensionOffset,
                                  text, ink);
        }
        return true;
    }

    // From the point straight to its foot on the line, with no offset.
    bool point_to_line(Index point_index, Index line_index, const std::string& text,
                       const char* ink) {
        const auto p = point(point_index);
        const auto l = line(line_index);
        if (!p || !l) return false;
        const Pixel along = pixel_unit(l->second - l->first);
        const Pixel foot = l->first + dot(*p - l->first, along) * along;
        if (pixel_length(*p - foot) < 1.0) return distance(p, p, text, ink);
        svg::linear_dimension(out_, places_, *p, foot, perpendicular(pixel_unit(foot - *p)), 0.0,
                              text, ink);
        return true;
    }

    // The angle from ray `from` to ray `to` about `vertex`, the short way round.
    void angle(Pixel vertex, Pixel from, Pixel to, const std::string& text, const char* ink) {
        const double start = std::atan2(from.y, from.x);
        const double sweep = std::remainder(std::atan2(to.y, to.x) - start, kTwoPi);
        svg::angle_dimension(out_, places_, vertex, kAngleRadius, start, sweep, text, ink);
    }

    bool vertex_angle(Index a, Index b, Index c, const std::string& text, const char* ink) {
        const auto pa = point(a);
        const auto pb = point(b);
        const auto pc = point(c);
        if (!pa || !pb || !pc) return false;
        if (pixel_length(*pa - *pb) < 1.0 || pixel_length(*pc - *pb) < 1.0) {
            return distance(pb, pb, text, ink);
        }
        angle(*pb, *pa - *pb, *pc - *pb, text, ink);
        return true;
    }

    // At the lines' crossing, each ray towards the line's far end; lines that do
    // not cross near the drawing get their value at the second line's middle.
    bool line_angle(Index first, Index second, const std::string& text, const char* ink) {
        const auto l1 = line(first);
        const auto l2 = line(second);
        if (!l1 || !l2) return false;
        const Pixel d1 = l1->second - l1->first;
        const Pixel d2 = l2->second - l2->first;
        const double cross = d1.x * d2.y - d1.y * d2.x;
        const Pixel middle2 = 0.5 * (l2->first + l2->second);
        const double reach = 4.0 * std::max(pixel_length(d1), pixel_length(d2));
        if (std::abs(cross) > 1e-9 * pixel_length(d1) * pixel_length(d2)) {
            const Pixel gap = l2->first - l1->first;
            const Pixel crossing = l1->first + ((gap.x * d2.y - gap.y * d2.x) / cross) * d1;
            if (pixel_length(crossing - middle2) < reach) {
                const auto far_end = [&](const std::pair<Pixel, Pixel>& l) {
                    return pixel_length(l.first - crossing) > pixel_length(l.second - crossing)
                               ? l.first
                               : l.second;
                };
                angle(crossing, far_end(*l1) - crossing, far_end(*l2) - crossing, text, ink);
                return true;
            }
        }
        svg::value_text(out_, places_, middle2 + Pixel{0.0, -14.0}, kUp, text, ink);
        return true;
    }

    // A leader to the rim at screen angle `direction` (radians, y down).
    bool radius(std::optional<std::pair<Pixel, double>> round, double direction,
                const std::string& text, const char* ink) {
        if (!round) return false;
        const auto [center, r] = *round;
        const Pixel rim = center + r * Pixel{std::cos(direction), std::sin(direction)};
        if (r < 2.0) return distance(center, center, text, ink);
        svg::radius_leader(out_, places_, center, rim, text, ink);
        return true;
    }

    // ---- glyphs ----

    void glyphs(const Constraint& c, const char* ink) {
        const auto& i = c.index;
        switch (c.kind) {
            case K::Horizontal: return pair_glyph(svg::Glyph::Horizontal, i[0], i[1], ink);
            case K::Vertical: return pair_glyph(svg::Glyph::Vertical, i[0], i[1], ink);
            case K::Perpendicular: return line_glyphs(svg::Glyph::Perpendicular, i[0], i[1], ink);
            case K::Parallel: return line_glyphs(svg::Glyph::Parallel, i[0], i[1], ink);
            case K::EqualLength:
            case K::EqualLineLength: return line_glyphs(svg::Glyph::Equal, i[0], i[1], ink);
            case K::EqualRadius:
                round_glyph(circle(i[0]), {EntityKind::Circle, i[0]}, ink);
                return round_glyph(circle(i[1]), {EntityKind::Circle, i[1]}, ink);
            case K::Coincident:
                if (const auto p = point(i[0])) svg::coincidence_ring(out_, *p, ink);
                return;
            case K::LineCircleTangent: return line_round_tangent(i[0], circle(i[1]), ink);
            case K::LineArcTangent: return line_round_tangent(i[0], arc(i[1]), ink);
            case K::CircleCircleTangent: return round_tangent(circle(i[0]), circle(i[1]), false, ink);
            case K::CircleCircleTangentInternal:
                return round_tangent(circle(i[0]), circle(i[1]), true, ink);
            case K::ArcArcTangent: return round_tangent(arc(i[0]), arc(i[1]), false, ink);
            case K::ArcArcTangentInternal: return round_tangent(arc(i[0]), arc(i[1]), true, ink);
            case K::ArcCircleTangent: return round_tangent(arc(i[0]), circle(i[1]), false, ink);
            case K::ArcCircleTangentInternal:
                return round_tangent(arc(i[0]), circle(i[1]), true, ink);
            case K::LineArcStartTangent: return line_arc_end_tangent(i[0], i[1], true, ink);
            case K::LineArcEndTangent: return line_arc_end_tangent(i[0], i[1], false, ink);
            default: return;
        }
    }

    // The next free place for a glyph on one entity: 0, +1, -1, +2, ... spacings away.
    double next_slot(EntityKind kind, Index entity) {
        const int taken = slots_[{static_cast<int>(kind), entity}]++;
        const int step = (taken + 1) / 2;
        return kGlyphSpacing * (taken % 2 == 1 ? step : -step);
    }

    // Beside the segment a-b, on the side towards the drawing's middle.
    void segment_glyph(svg::Glyph kind, Pixel a, Pixel b, double slot, const char* ink) {
        const Pixel along = pixel_unit(b - a);
        const Pixel place = 0.5 * (a + b) - kGlyphOffset * outward(a, b) + slot * along;
        svg::glyph(out_, kind, place, ink);
    }

    void pair_glyph(svg::Glyph kind, Index p1, Index p2, const char* ink) {
        const auto a = point(p1);
        const auto b = point(p2);
        if (!a || !b) return;
        // Glyphs of a pair of points joined by a line share that line's places.
        const auto joined = line_between_.find(std::minmax(p1, p2));
        const double slot = joined != line_between_.end()
                                ? next_slot(EntityKind::Line, joined->second)
                                : next_slot(EntityKind::Point, std::min(p1, p2));
        if (pixel_length(*b - *a) < 1.0) {
            svg::glyph(out_, kind, *a + Pixel{slot, -kGlyphOffset}, ink);
        } else {
            segment_glyph(kind, *a, *b, slot, ink);
        }
    }

    void line_glyphs(svg::Glyph kind, Index first, Index second, const char* ink) {
        for (const Index i : {first, second}) {
            if (const auto l = line(i))
                segment_glyph(kind, l->first, l->second, next_slot(EntityKind::Line, i), ink);
        }
    }

    void round_glyph(std::optional<std::pair<Pixel, double>> round, std::pair<EntityKind, Index> key,
                     const char* ink) {
        if (!round) return;
        const auto [center, r] = *round;
        const double slot = next_slot(key.first, key.second);
        svg::glyph(out_, svg::Glyph::Equal, center + Pixel{slot, -r - kGlyphOffset}, ink);
    }

    // A glyph beside the touching point, pushed off the curves along `away`.
    void tangent_at(Pixel touch, Pixel away, const char* ink) {
        const double l = pixel_length(away);
        const Pixel push = l > 0.0 ? (1.0 / l) * away : Pixel{0.0, -1.0};
        svg::glyph(out_, svg::Glyph::Tangent, touch + kGlyphOffset * push, ink);
    }

    void line_round_tangent(Index line_index, std::optional<std::pair<Pixel, double>> round,
                            const char* ink) {
        const auto l = line(line_index);
        if (!l || !round) return;
        const Pixel along = pixel_unit(l->second - l->first);
        const Pixel center = round->first;
        const Pixel foot = l->first + dot(center - l->first, along) * along;
        tangent_at(foot, foot - center, ink);
    }

    // Two round curves touch on the line of their centres: outside, or inside the larger.
    void round_tangent(std::optional<std::pair<Pixel, double>> first,
                       std::optional<std::pair<Pixel, double>> second, bool internal,
                       const char* ink) {
        if (!first || !second) return;
        auto [big, small] = std::pair{*first, *second};
        if (internal && small.second > big.second) std::swap(big, small);
        const Pixel between = small.first - big.first;
        if (pixel_length(between) < 1e-9) return;
        const Pixel direction = pixel_unit(between);
        const Pixel touch = big.first + big.second * direction;
        tangent_at(touch, perpendicular(direction), ink);
    }

    void line_arc_end_tangent(Index line_index, Index arc_index, bool at_start, const char* ink) {
        if (arc_index >= system_.arcs.size()) return;
        const Arc& a = system_.arcs[arc_index];
        const auto touch = point(at_start ? a.start : a.end);
        const auto center = point(a.center);
        if (!touch || !center || !line(line_index)) return;
        tangent_at(*touch, *touch - *center, ink);
    }

    const System& system_;
    const View& view_;
    Pixel middle_;
    std::string out_;
    svg::ValuePlaces places_;
    std::map<std::pair<int, Index>, int> slots_;
    std::map<std::pair<Index, Index>, Index> line_between_;  // (lower, higher) point -> line
};

// ---- the document ----

class SvgBuilder {
public:
    explicit SvgBuilder(const View& view) : view_(view) {}

    std::string& text() { return out_; }

    double px(double world_length) const { return world_length * view_.scale; }
    static const char* stroke(const char* ink) { return ink ? ink : kInk; }

    void line(Vec2 world_a, Vec2 world_b, const char* ink) {
        const Vec2 a = view_.pixel(world_a);
        const Vec2 b = view_.pixel(world_b);
        append(out_, "<line x1=\"", a.x, "\" y1=\"", a.y, "\" x2=\"", b.x, "\" y2=\"", b.y, "\" stroke=\"",
               stroke(ink), "\"/>\n");
    }
    void circle(const CircleShape& c, const char* ink) {
        const Vec2 center = view_.pixel(c.center);
        append(out_, "<circle cx=\"", center.x, "\" cy=\"", center.y, "\" r=\"", px(c.radius),
               "\" stroke=\"", stroke(ink), "\"/>\n");
    }
    // A world counter-clockwise turn still looks counter-clockwise once y is flipped,
    // which in SVG's y-down coordinates is the negative direction: sweep flag 0.
    void arc(Vec2 from, Vec2 to, double rx, double ry, double rotation, double sweep,
             const char* ink) {
        const char* large = sweep > std::numbers::pi ? "1" : "0";
        const Vec2 a = view_.pixel(from);
        const Vec2 b = view_.pixel(to);
        append(out_, "<path d=\"M ", a.x, " ", a.y, " A ", px(rx), " ", px(ry), " ",
               -rotation * 180.0 / std::numbers::pi, " ", large, " 0 ", b.x, " ", b.y, "\" stroke=\"",
               stroke(ink), "\"/>\n");
    }
    void ellipse(const EllipseShape& e, const char* ink) {
        const Vec2 c = view_.pixel(e.center);
        append(out_, "<ellipse cx=\"", c.x, "\" cy=\"", c.y, "\" rx=\"", px(e.major), "\" ry=\"", px(e.minor),
               "\" transform=\"rotate(", -e.rotation * 180.0 / std::numbers::pi, " ", c.x, " ", c.y,
               ")\" stroke=\"", stroke(ink), "\"/>\n");
    }
    // Free points are dots; fixed points are squares.
    // Free points are dots; fixed points are squares standing on an anchor.
    void point(Index index, Vec2 p, bool fixed, const char* ink) {
        const Vec2 c = view_.pixel(p);
        if (fixed) {
            svg::anchor(out_, {c.x, c.y}, ink ? ink : kFixedInk);
            append(out_, "<rect data-point=\"", index, "\" x=\"", c.x - 4.0, "\" y=\"", c.y - 4.0,
                   "\" width=\"8\" height=\"8\" fill=\"", ink ? ink : kFixedInk, "\"/>\n");
        } else {
            append(out_, "<circle data-point=\"", index, "\" cx=\"", c.x, "\" cy=\"", c.y, "\" r=\"3\" fill=\"",
                   ink ? ink : kInk, "\"/>\n");
        }
    }

private:
    const View& view_;
    std::string out_;
};

// Polls on every kStepsPerPoll-th entity: drawing one takes about a microsecond.
void poll_at(Index i, const InterruptPoll& interrupted) {
    if (i % kStepsPerPoll == 0) throw_if_interrupted(interrupted);
}

void draw_curves(SvgBuilder& svg, const System& system, EntityInks& inks,
                 const InterruptPoll& interrupted) {
    for (Index i = 0; i < system.lines.size(); ++i) {
        poll_at(i, interrupted);
        const auto a = point_at(system, system.lines[i].p1);
        const auto b = point_at(system, system.lines[i].p2);
        if (a && b) svg.line(*a, *b, inks.lines[i]);
    }
    for (Index i = 0; i < system.circles.size(); ++i) {
        poll_at(i, interrupted);
        if (const auto c = circle_shape(system, i)) svg.circle(*c, inks.circles[i]);
    }
    for (Index i = 0; i < system.arcs.size(); ++i) {
        poll_at(i, interrupted);
        const auto a = arc_shape(system, i);
        if (!a || a->sweep == 0.0) continue;
        svg.arc(a->center + polar(a->radius, a->start),
                a->center + polar(a->radius, a->start + a->sweep), a->radius, a->radius, 0.0,
                a->sweep, inks.arcs[i]);
    }
    for (Index i = 0; i < system.ellipses.size(); ++i) {
        poll_at(i, interrupted);
        if (const auto e = ellipse_shape(system, i)) svg.ellipse(*e, inks.ellipses[i]);
    }
    for (Index i = 0; i < system.arcs_of_ellipse.size(); ++i) {
        poll_at(i, interrupted);
        const auto a = ellipse_arc_shape(system, i);
        if (!a || a->sweep == 0.0) continue;
        const EllipseShape& e = a->ellipse;
        svg.arc(ellipse_point(e, a->start), ellipse_point(e, a->start + a->sweep), e.major, e.minor,
                e.rotation, a->sweep, inks.arcs_of_ellipse[i]);
    }
}

// A number written so that reading it back gives the same double.
std::string exact(double value) {
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

// Whether the picture carries any dimension or glyph (they need room at the edges).
bool has_annotations(const System& system, const SvgOptions& options) {
    if (!options.labels || options.bounds) return false;
    const View probe{1.0, 1.0, 1.0, {}};
    Annotator annotator(system, probe, {});
    for (Index k = 0; k < system.constraints.size(); ++k) {
        if (!annotator.marks(k, kLabelInk).empty()) return true;
    }
    return false;
}

// The band kept for annotations, never more than an eighth of the space inside the margin.
double annotation_band(const System& system, const SvgOptions& options) {
    if (!has_annotations(system, options)) return 0.0;
    double band = std::min(kAnnotationBand, (options.width - 2.0 * options.margin) / 8.0);
    if (options.height) band = std::min(band, (*options.height - 2.0 * options.margin) / 8.0);
    return band;
}

void draw_annotations(std::string& out, const System& system, const View& view, Pixel middle,
                      const SvgHighlights& highlights, const InterruptPoll& interrupted) {
    const std::vector<const char*> inks = constraint_inks(system, highlights);
    Annotator annotator(system, view, middle);
    out += "<g font-family=\"sans-serif\" font-size=\"12\" text-anchor=\"middle\" "
           "fill=\"none\" stroke-width=\"1\">\n";
    for (Index k = 0; k < system.constraints.size(); ++k) {
        poll_at(k, interrupted);
        const std::string& marks = annotator.marks(k, inks[k]);
        if (marks.empty()) continue;
        append(out, "<g data-constraint=\"", k, "\" stroke=\"", inks[k], "\">\n", marks, "</g>\n");
    }
    out += "</g>\n";
}

// Room for the whole document, so that it is written without moving: more than
// its elements take (untouched room costs nothing), and a picture of ten
// thousand entities is megabytes, each move a copy and fresh pages.
std::size_t room_for(const System& system) {
    const std::size_t entities = system.points.size() + system.lines.size() +
                                 system.circles.size() + system.arcs.size() +
                                 system.ellipses.size() + system.arcs_of_ellipse.size();
    return 1024 + 512 * entities + 2048 * system.constraints.size();
}

}  // namespace

std::string to_svg(const System& system, const SvgOptions& options,
                   const SvgHighlights& highlights, const InterruptPoll& interrupted) {
    const Bounds drawing = drawing_bounds(system);
    const View view = fit_view(shown_bounds(system, options), options,
                               options.margin + annotation_band(system, options));
    EntityInks inks = entity_inks(system, highlights);
    SvgBuilder svg(view);
    std::string& out = svg.text();
    std::string w, h;
    svg::append_number(w, view.width);
    svg::append_number(h, view.height);
    // data-scale and data-origin give the mapping from sketch coordinates to the
    // picture's pixels: x' = origin_x + scale * x, y' = origin_y - scale * y.
    const Vec2 origin = view.pixel({0.0, 0.0});
    out.reserve(room_for(system));
    append(out, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"", w, "\" height=\"", h, "\" viewBox=\"0 0 ",
           w, " ", h, "\" data-scale=\"", exact(view.scale), "\" data-origin=\"", exact(origin.x), " ",
           exact(origin.y), "\">\n");
    append(out, "<rect width=\"", w, "\" height=\"", h, "\" fill=\"white\"/>\n");
    out += "<g fill=\"none\" stroke-width=\"1.5\">\n";
    draw_curves(svg, system, inks, interrupted);
    out += "</g>\n";
    if (options.labels) {
        const Vec2 middle = drawing.empty()
                                ? view.pixel(view.world_center)
                                : view.pixel({(drawing.min_x + drawing.max_x) / 2.0,
                                              (drawing.min_y + drawing.max_y) / 2.0});
        draw_annotations(out, system, view, {middle.x, middle.y}, highlights, interrupted);
    }
    out += "<g>\n";
    for (Index i = 0; i < system.points.size(); ++i) {
        poll_at(i, interrupted);
        if (const auto p = point_at(system, i))
            svg.point(i, *p, system.points[i].fixed, inks.points[i]);
    }
    out += "</g>\n</svg>\n";
    return out;
}

}  // namespace ovralis
