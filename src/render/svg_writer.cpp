// Draws a sketch as an SVG document (see svg_writer.hpp).

#include "render/svg_writer.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>

namespace ovralis {
namespace {

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

View fit_view(const Bounds& bounds, const SvgOptions& options) {
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
    const double inner_width = options.width - 2.0 * options.margin;
    double scale = inner_width / span_x;
    double height = span_y * scale + 2.0 * options.margin;
    if (options.height) {
        height = *options.height;
        scale = std::min(scale, (height - 2.0 * options.margin) / span_y);
    }
    return View{options.width, height, scale, center};
}

// ---- text ----

// Pixel numbers with at most three decimals and no trailing zeros.
std::string number(double value) {
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3).ptr;
    std::string text(buffer, end);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
}

// A constraint's own value as written by its author: at most six significant digits.
std::string value_text(double value) {
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6).ptr;
    return std::string(buffer, end);
}

std::string xml_escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
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
            return label("R" + value_text(v), circle_top(system, i[0]));
        case ConstraintKind::ArcRadius: return label("R" + value_text(v), arc_middle(system, i[0]));
        case ConstraintKind::ArcSweepAngle:
            return label(value_text(v) + "°", arc_middle(system, i[0]));
        case ConstraintKind::ArcLength: return label("L" + value_text(v), arc_middle(system, i[0]));
        case ConstraintKind::C2CDistance: return label(value_text(v), circle_top(system, i[0]));
        case ConstraintKind::P2CDistance: return label(value_text(v), point_at(system, i[0]));
        case ConstraintKind::EllipseRadmin:
            return label("b" + value_text(v), ellipse_top(system, i[0]));
        case ConstraintKind::EllipseFocusDistance:
            return label("2c" + value_text(v), ellipse_top(system, i[0]));
        case ConstraintKind::FixedPoint:
            return label("(" + value_text(v) + ", " + value_text(c.value[1]) + ")",
                         point_at(system, i[0]));
        case ConstraintKind::PointOnLineAt:
            return label("t=" + value_text(v), point_at(system, i[0]));
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

// ---- the document ----

class SvgBuilder {
public:
    explicit SvgBuilder(const View& view) : view_(view) {}

    std::string& text() { return out_; }

    std::string xy(const char* x_name, const char* y_name, Vec2 world) const {
        const Vec2 p = view_.pixel(world);
        return std::string(" ") + x_name + "=\"" + number(p.x) + "\" " + y_name + "=\"" +
               number(p.y) + "\"";
    }
    std::string px(double world_length) const { return number(world_length * view_.scale); }
    std::string at(Vec2 world) const {
        const Vec2 p = view_.pixel(world);
        return number(p.x) + " " + number(p.y);
    }
    static std::string stroke(const char* ink) {
        return std::string(" stroke=\"") + (ink ? ink : kInk) + "\"";
    }

    void line(Vec2 a, Vec2 b, const char* ink) {
        out_ += "<line" + xy("x1", "y1", a) + xy("x2", "y2", b) + stroke(ink) + "/>\n";
    }
    void circle(const CircleShape& c, const char* ink) {
        out_ += "<circle" + xy("cx", "cy", c.center) + " r=\"" + px(c.radius) + "\"" + stroke(ink) +
                "/>\n";
    }
    // A world counter-clockwise turn still looks counter-clockwise once y is flipped,
    // which in SVG's y-down coordinates is the negative direction: sweep flag 0.
    void arc(Vec2 from, Vec2 to, double rx, double ry, double rotation, double sweep,
             const char* ink) {
        const std::string large = sweep > std::numbers::pi ? "1" : "0";
        out_ += "<path d=\"M " + at(from) + " A " + px(rx) + " " + px(ry) + " " +
                number(-rotation * 180.0 / std::numbers::pi) + " " + large + " 0 " + at(to) + "\"" +
                stroke(ink) + "/>\n";
    }
    void ellipse(const EllipseShape& e, const char* ink) {
        const Vec2 c = view_.pixel(e.center);
        out_ += "<ellipse" + xy("cx", "cy", e.center) + " rx=\"" + px(e.major) + "\" ry=\"" +
                px(e.minor) + "\" transform=\"rotate(" +
                number(-e.rotation * 180.0 / std::numbers::pi) + " " + number(c.x) + " " +
                number(c.y) + ")\"" + stroke(ink) + "/>\n";
    }
    // Free points are dots; fixed points are squares.
    void point(Vec2 p, bool fixed, const char* ink) {
        const Vec2 c = view_.pixel(p);
        if (fixed) {
            out_ += "<rect x=\"" + number(c.x - 4.0) + "\" y=\"" + number(c.y - 4.0) +
                    "\" width=\"8\" height=\"8\" fill=\"" + (ink ? ink : kFixedInk) + "\"/>\n";
        } else {
            out_ += "<circle cx=\"" + number(c.x) + "\" cy=\"" + number(c.y) +
                    "\" r=\"3\" fill=\"" + (ink ? ink : kInk) + "\"/>\n";
        }
    }
    void label(const Label& l, const char* ink) {
        const Vec2 c = view_.pixel(l.anchor);
        out_ += "<text x=\"" + number(c.x) + "\" y=\"" + number(c.y - 6.0) + "\" fill=\"" + ink +
                "\">" + xml_escaped(l.text) + "</text>\n";
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

}  // namespace

std::string to_svg(const System& system, const SvgOptions& options,
                   const SvgHighlights& highlights, const InterruptPoll& interrupted) {
    const View view = fit_view(drawing_bounds(system), options);
    EntityInks inks = entity_inks(system, highlights);
    SvgBuilder svg(view);
    std::string& out = svg.text();
    const std::string w = number(view.width);
    const std::string h = number(view.height);
    out += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + w + "\" height=\"" + h +
           "\" viewBox=\"0 0 " + w + " " + h + "\">\n";
    out += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"white\"/>\n";
    out += "<g fill=\"none\" stroke-width=\"1.5\">\n";
    draw_curves(svg, system, inks, interrupted);
    out += "</g>\n<g>\n";
    for (Index i = 0; i < system.points.size(); ++i) {
        poll_at(i, interrupted);
        if (const auto p = point_at(system, i))
            svg.point(*p, system.points[i].fixed, inks.points[i]);
    }
    out += "</g>\n";
    if (options.labels) {
        const std::vector<const char*> label_inks = constraint_inks(system, highlights);
        out += "<g font-family=\"sans-serif\" font-size=\"12\" text-anchor=\"middle\">\n";
        for (Index k = 0; k < system.constraints.size(); ++k) {
            poll_at(k, interrupted);
            if (auto l = dimension_label(system, system.constraints[k])) {
                if (is_bound(system, k)) l->text = bound_label_text(system, k);
                svg.label(*l, label_inks[k]);
            }
        }
        out += "</g>\n";
    }
    out += "</svg>\n";
    return out;
}

}  // namespace ovralis
